// The peer for the start-up and memory numbers: the least a Qt program needs for a tray icon
// with a menu.
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    QSystemTrayIcon tray(app.style()->standardIcon(QStyle::SP_MediaPlay));
    tray.setContextMenu(&menu);
    tray.show();
    return app.exec();
}
