#include "dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

void QtDialogs::MsgBox(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtDialogs::YesNo(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString qtFilter(const QString &barFilter, QString *selected, int filterIndex)
{
    const QStringList parts = barFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        name.replace(QLatin1String("(*.*)"), QLatin1String("(*)"));
        entries << name;
    }
    if (selected && filterIndex >= 1 && filterIndex <= entries.size())
        *selected = entries[filterIndex - 1];
    return entries.join(QLatin1String(";;"));
}

QString QtDialogs::OpenFileName(const FileDialogRequest &r)
{
    QString selected;
    const QString filter = qtFilter(r.filter, &selected, r.filterIndex);
    return QFileDialog::getOpenFileName(m_parent, r.title, r.initialDir, filter, &selected);
}

QString QtDialogs::SaveFileName(const FileDialogRequest &r)
{
    QString selected;
    const QString filter = qtFilter(r.filter, &selected, r.filterIndex);
    // We ask about overwriting ourselves, with our own wording.
    return QFileDialog::getSaveFileName(m_parent, r.title, r.initialDir, filter, &selected,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::ClipboardText() { return QApplication::clipboard()->text(); }

void QtDialogs::SetClipboardText(const QString &text) { QApplication::clipboard()->setText(text); }
