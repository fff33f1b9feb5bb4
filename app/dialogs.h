#pragma once
// Everything that asks the user or the desktop something: message boxes, the
// input box, file dialogs and the clipboard. The application uses Qt's; tests
// script the answers and read back what was shown.
#include <QString>

class QWidget;

struct FileDialogRequest {
    QString title;
    QString filter;      // "Data Files (*.dat)|*.dat|All Files (*.*)|*.*"
    int filterIndex = 1; // 1-based, as the filter lists them
    QString initialDir;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal, OK only, no icon.
    virtual void MsgBox(const QString &text, const QString &title) = 0;
    // Modal, Yes and No, no icon. True for Yes.
    virtual bool YesNo(const QString &text, const QString &title) = 0;
    // Modal input box; a cancelled box gives the empty text.
    virtual QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) = 0;
    // File dialogs; a cancelled dialog gives the empty text.
    virtual QString OpenFileName(const FileDialogRequest &request) = 0;
    virtual QString SaveFileName(const FileDialogRequest &request) = 0;
    virtual QString ClipboardText() = 0;
    virtual void SetClipboardText(const QString &text) = 0;
    // The window dialogs are shown over.
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    QWidget *parentWidget() const { return m_parent; }

protected:
    QWidget *m_parent = nullptr;
};

class QtDialogs final : public Dialogs {
public:
    void MsgBox(const QString &text, const QString &title) override;
    bool YesNo(const QString &text, const QString &title) override;
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString OpenFileName(const FileDialogRequest &request) override;
    QString SaveFileName(const FileDialogRequest &request) override;
    QString ClipboardText() override;
    void SetClipboardText(const QString &text) override;
};

// "Data Files (*.dat)|*.dat|All Files (*.*)|*.*" in Qt's form: "Data Files (*.dat);;All Files (*)".
QString qtFilter(const QString &barFilter, QString *selected, int filterIndex);
