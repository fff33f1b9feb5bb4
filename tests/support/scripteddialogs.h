#pragma once
// Dialogs for tests: every box shown is recorded, every answer is scripted.
#include "dialogs.h"

#include <QQueue>
#include <QStringList>
#include <functional>

struct ShownBox {
    QString kind; // "MsgBox", "YesNo", "InputBox", "Open", "Save"
    QString title;
    QString text;
    QString defaultText;
    QString filter;
    int filterIndex = 0;
};

class ScriptedDialogs final : public Dialogs {
public:
    QList<ShownBox> shown;
    QQueue<bool> yesNoAnswers;    // default: No
    QQueue<QString> inputAnswers; // default: cancelled
    QQueue<QString> fileAnswers;  // default: cancelled
    QString clipboard;
    // Runs while a message box is "open", as a user acting at that moment.
    std::function<void(const ShownBox &)> onShow;

    // Texts of the MsgBox boxes, in order.
    QStringList messages() const
    {
        QStringList out;
        for (const auto &b : shown)
            if (b.kind == QLatin1String("MsgBox"))
                out << b.text;
        return out;
    }
    void clear() { shown.clear(); }

    void MsgBox(const QString &text, const QString &title) override { record({"MsgBox", title, text, {}, {}, 0}); }
    bool YesNo(const QString &text, const QString &title) override
    {
        record({"YesNo", title, text, {}, {}, 0});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        record({"InputBox", title, prompt, defaultText, {}, 0});
        return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
    }
    QString OpenFileName(const FileDialogRequest &r) override
    {
        return file({"Open", r.title, {}, {}, r.filter, r.filterIndex});
    }
    QString SaveFileName(const FileDialogRequest &r) override
    {
        return file({"Save", r.title, {}, {}, r.filter, r.filterIndex});
    }
    QString ClipboardText() override { return clipboard; }
    void SetClipboardText(const QString &text) override { clipboard = text; }

private:
    void record(const ShownBox &box)
    {
        shown.append(box);
        if (onShow)
            onShow(box);
    }
    QString file(const ShownBox &box)
    {
        record(box);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
};
