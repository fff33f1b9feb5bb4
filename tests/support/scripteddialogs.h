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
    QQueue<bool> yesNoAnswers;       // default: No
    QQueue<QString> inputAnswers;    // default: cancelled
    QQueue<QString> fileAnswers;     // default: cancelled
    QString clipboard;
    // Runs while a message box is "open", as a user acting at that moment.
    std::function<void(const ShownBox &)> onShow;

    QStringList messages() const;    // texts of the MsgBox boxes, in order
    void clear() { shown.clear(); }

    void MsgBox(const QString &text, const QString &title) override;
    bool YesNo(const QString &text, const QString &title) override;
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString OpenFileName(const FileDialogRequest &request) override;
    QString SaveFileName(const FileDialogRequest &request) override;
    QString ClipboardText() override { return clipboard; }
    void SetClipboardText(const QString &text) override { clipboard = text; }

private:
    void record(const ShownBox &box);
};
