#pragma once

#include <QString>
#include <QStringList>

/// What the console's core shows to its user: the windows implement it with the status bar,
/// message boxes, the wait cursor and the file dialog; the command line with lines on standard
/// error; tests with a recorder.
class ConsoleFrontEnd
{
public:
    enum class Icon { Information, Exclamation };

    virtual ~ConsoleFrontEnd() = default;

    /// The status text (the second panel of the main window's status bar).
    virtual void showStatus(const QString &text) = 0;
    /// A message box titled with the application title.
    virtual void showMessage(Icon icon, const QString &text) = 0;
    /// The hourglass pointer on (true) or back to normal (false).
    virtual void setBusy(bool busy) = 0;
    /// Asks for a file name; the empty text when the user cancels. `save` asks for a file to write.
    virtual QString chooseFile(const QString &caption, const QString &folder, const QString &filter,
                               bool save) = 0;
};

/// The console's title, shown in captions and message boxes.
QString ApplicationTitle();

/// The application-error box: "アプリケーションエラー！", a line break, then `text`.
void ShowApplicationError(ConsoleFrontEnd &frontEnd, const QString &text);
/// A warning box (exclamation icon) with `text`; the pointer goes back to normal first.
void ShowWarning(ConsoleFrontEnd &frontEnd, const QString &text);
/// A notice box (information icon) with `text`; the pointer goes back to normal first.
void ShowInformation(ConsoleFrontEnd &frontEnd, const QString &text);

/// A Windows file filter "Name|*.x|Name|*.*" as Qt's filters {"Name (*.x)", "Name (*.*)"}; a
/// text without "|" is Qt's "Name (*.x);;Name (*)" already.
QStringList QtFileFilters(const QString &windowsFilter);
/// The extension a Qt filter's first pattern names ("csv" for "CSV (*.csv)"), "" for "*.*" or
/// none.
QString SuffixOfFilter(const QString &qtFilter);
