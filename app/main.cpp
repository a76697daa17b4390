// Velmora start-up. Until the browser's document and view exist this opens
// the empty main window.
//
//   velmora [--screenshot FILE [--after SECONDS]]
//
// --screenshot saves a picture of the main window and quits; without a
// display it runs offscreen.
#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
struct Options {
    const char* screenshot = nullptr;
    double afterSeconds = 1.0;
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            options.screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--after") == 0 && i + 1 < argc)
            options.afterSeconds = std::atof(argv[++i]);
    }
    return options;
}
} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    if (options.screenshot && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmora");
    QMainWindow window;
    window.setWindowTitle("Velmora");
    window.resize(900, 600);
    window.show();

    if (options.screenshot) {
        const QString file = QString::fromLocal8Bit(options.screenshot);
        QTimer::singleShot(static_cast<int>(options.afterSeconds * 1000), &window, [&window, file] {
            const bool saved = window.grab().save(file);
            if (!saved)
                std::fprintf(stderr, "velmora: cannot write %s\n", file.toLocal8Bit().constData());
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
