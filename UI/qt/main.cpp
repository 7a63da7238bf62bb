// Plexmoor: prepares and programs the SPI flash of a DSL line board.
#include "flash_form.h"
#include "os.h"
#include "qt_services.h"
#include "qt_window.h"

#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<bool> stop_requested{false};

void request_stop() {
    stop_requested = true;
}

// A window needs a display; without one Qt's xcb plugin aborts the program.
// Told in a line instead, with the way to get one.
bool DisplayMissing() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return false;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Ctrl+C or a termination request closes the window the ordinary way, so the
// settings are written and the board's contents are kept, as when the user
// closes it; during programming the close waits for the run to end.
void close_on_termination(plexmoor::QtWindow& window) {
    os::on_interrupt(request_stop);
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window] {
        if (stop_requested.exchange(false)) {
            window.close();
        }
    });
    poll->start(200);
}

} // namespace

int main(int argc, char** argv) {
    if (DisplayMissing()) {
        std::fputs("Plexmoor needs a display: run it on a desktop, or under a virtual one with "
                   "xvfb-run -a scripts/run.sh\n",
                   stderr);
        return 1;
    }
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
