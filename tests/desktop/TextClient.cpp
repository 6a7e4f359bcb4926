// A window with one text field, for the insertion tests: it writes everything the field holds to
// the file named on its command line after each change, and prints "ready" once it has the focus.
#include <QApplication>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vesk_textclient OUTPUT-FILE\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QPlainTextEdit edit;
    edit.setWindowTitle(u"vesk text client"_s);
    edit.resize(600, 300);
    QObject::connect(&edit, &QPlainTextEdit::textChanged, [&] {
        QSaveFile file(output);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(edit.toPlainText().toUtf8());
            file.commit();
        }
    });
    edit.show();
    edit.activateWindow();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (edit.isActiveWindow() && edit.hasFocus()) {
            std::printf("ready %llu\n", static_cast<unsigned long long>(edit.winId()));
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(50);
    return app.exec();
}
