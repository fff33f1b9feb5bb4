#include "scripteddialogs.h"

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const auto &b : shown)
        if (b.kind == QLatin1String("MsgBox"))
            out << b.text;
    return out;
}

void ScriptedDialogs::record(const ShownBox &box)
{
    shown.append(box);
    if (onShow)
        onShow(box);
}

void ScriptedDialogs::MsgBox(const QString &text, const QString &title)
{
    record({QStringLiteral("MsgBox"), title, text, {}, {}, 0});
}

bool ScriptedDialogs::YesNo(const QString &text, const QString &title)
{
    record({QStringLiteral("YesNo"), title, text, {}, {}, 0});
    return yesNoAnswers.isEmpty() ? false : yesNoAnswers.dequeue();
}

QString ScriptedDialogs::InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    record({QStringLiteral("InputBox"), title, prompt, defaultText, {}, 0});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
}

QString ScriptedDialogs::OpenFileName(const FileDialogRequest &r)
{
    record({QStringLiteral("Open"), r.title, {}, {}, r.filter, r.filterIndex});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString ScriptedDialogs::SaveFileName(const FileDialogRequest &r)
{
    record({QStringLiteral("Save"), r.title, {}, {}, r.filter, r.filterIndex});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}
