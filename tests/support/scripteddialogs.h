#pragma once
// Dialogs for tests: every box shown is recorded, every answer is scripted.
#include "dialogs.h"

#include <QQueue>
#include <QStringList>
#include <functional>

struct ShownBox {
    QString kind;                                                 // "MsgBox", "YesNo", "InputBox", "Open", "Save"
    QString title = {}, text = {}, defaultText = {}, filter = {}; // so a box names only what it has
    int filterIndex = 0;
};

class ScriptedDialogs final : public Dialogs {
public:
    QList<ShownBox> shown;
    QQueue<bool> yesNoAnswers;                 // default: No
    QQueue<QString> inputAnswers, fileAnswers; // default: cancelled
    QString clipboard;
    std::function<void(const ShownBox &)> onShow; // runs while the box is "open", as a user acting then

    QStringList messages() const
    {
        QStringList out;
        for (const auto &b : shown)
            if (b.kind == QLatin1String("MsgBox"))
                out << b.text;
        return out;
    }
    void clear() { shown.clear(); }

    void MsgBox(const QString &text, const QString &title) override { record({"MsgBox", title, text}); }
    bool YesNo(const QString &text, const QString &title) override
    {
        return answer(yesNoAnswers, {"YesNo", title, text});
    }
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        return answer(inputAnswers, {"InputBox", title, prompt, defaultText});
    }
    QString OpenFileName(const FileDialogRequest &r) override { return file("Open", r); }
    QString SaveFileName(const FileDialogRequest &r) override { return file("Save", r); }
    QString ClipboardText() override { return clipboard; }
    void SetClipboardText(const QString &text) override { clipboard = text; }

private:
    void record(const ShownBox &box)
    {
        shown.append(box);
        if (onShow)
            onShow(box);
    }
    template <typename T> T answer(QQueue<T> &answers, const ShownBox &box)
    {
        record(box);
        return answers.isEmpty() ? T() : answers.dequeue(); // No, or cancelled
    }
    QString file(const char *kind, const FileDialogRequest &r)
    {
        return answer(fileAnswers, {kind, r.title, {}, {}, r.filter, r.filterIndex});
    }
};
