// Plexmoor: prepares and programs the SPI flash of a DSL line board.
#include "flash_form.h"
#include "qt_services.h"
#include "qt_window.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    plexmoor::QtServices services;
    plexmoor::FlashForm form(services);
    plexmoor::QtWindow window(form);
    services.setWindow(&window);
    form.Form_Load();
    window.show();

    // For documentation: PLEXMOOR_SCREENSHOT=file.png grabs the window once
    // it has been painted and quits.
    if (const char* shot = std::getenv("PLEXMOOR_SCREENSHOT"); shot && *shot) {
        QTimer::singleShot(800, &window, [&window, shot] {
            window.grab().save(QString::fromLocal8Bit(shot));
            window.close();
        });
    }
    return app.exec();
}
