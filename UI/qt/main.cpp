// Plexmoor: prepares and programs the SPI flash of a DSL line board.
#include "flash_form.h"
#include "qt_services.h"
#include "qt_window.h"

#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <csignal>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t stop_requested = 0;

extern "C" void request_stop(int) {
    stop_requested = 1;
}

// Ctrl+C or a termination request closes the window the ordinary way, so the
// settings are written and the board's contents are kept, as when the user
// closes it; during programming the close waits for the run to end.
void close_on_termination(plexmoor::QtWindow& window) {
    struct sigaction action {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window] {
        if (stop_requested) {
            stop_requested = 0;
            window.close();
        }
    });
    poll->start(200);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    plexmoor::QtServices services;
    plexmoor::FlashForm form(services);
    plexmoor::QtWindow window(form);
    services.setWindow(&window);
    form.Form_Load();
    window.show();
    close_on_termination(window);

    // For documentation: PLEXMOOR_SCREENSHOT=file.png grabs the window once
    // it has been painted and quits; a name with "%1" in it grabs every tab,
    // "%1" standing for the tab's caption in lower case.
    if (const char* shot = std::getenv("PLEXMOOR_SCREENSHOT"); shot && *shot) {
        QTimer::singleShot(800, &window, [&window, shot] {
            const QString name = QString::fromLocal8Bit(shot);
            auto* tabs = window.findChild<QTabWidget*>(
                QString::fromUtf8(plexmoor::NameOf(plexmoor::C::SSTab)));
            if (name.contains("%1") && tabs) {
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    window.grab().save(name.arg(tabs->tabText(i).toLower()));
                }
            } else {
                window.grab().save(name);
            }
            window.close();
        });
    }
    return app.exec();
}
