// The reference for start-up time and memory: a bare Qt Widgets main window of
// the tuner's size with a title, a menu bar and a status bar, and nothing of
// the tuner in it. Built a second time with Qt Data Visualization loaded, it
// shows how much of the tuner's start-up that library's loading takes.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#ifdef WITH_DATAVIS
#include <QtDataVisualization/Q3DSurface>
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
#ifdef WITH_DATAVIS
    // Never true; it makes the library a real dependency, loaded at start.
    if (argc > 1000)
        delete new Q3DSurface;
#endif
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    window.setCentralWidget(new QLabel(QStringLiteral("A bare Qt Widgets window")));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    // The tuner's client area: 11040 x 7410 twips at 15 twips a pixel.
    window.resize(736, 494);
    window.show();
    return QApplication::exec();
}
