// The real window: tabs, frames per system version, and a flash driven by
// clicks on the widgets against the virtual board.
#include "program_folder.h"
#include "qt_services.h"
#include "qt_window.h"
#include "virtual_board.h"
#include "widget_find.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>

using namespace plexmoor;

namespace {

// Real Qt services, but message boxes are recorded instead of waiting for
// a click, and each pump can run a test's action.
class RecordingServices : public QtServices {
  public:
    Answer messageBox(const std::string& text, Buttons) override {
        messages.push_back(text);
        return Answer::Ok;
    }
    void processEvents() override {
        QtServices::processEvents();
        if (on_pump) on_pump();
    }
    std::string programFolder() override { return folder; }
    std::vector<std::string> messages;
    std::string folder;
    std::function<void()> on_pump;
};

} // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<RecordingServices> services_;
    std::unique_ptr<QTemporaryDir> program_; // stands for the program's folder
    std::unique_ptr<FlashForm> form_;
    std::unique_ptr<QtWindow> window_;

    template <typename W> W* find(C id, int index = kNoIndex) {
        return FindWidget<W>(*window_, id, index);
    }
    bool shown(C id, int index = kNoIndex) { return !find<QWidget>(id, index)->isHidden(); }

    // The window as the program starts it, from what its folder holds.
    void open() {
        window_.reset();
        form_ = std::make_unique<FlashForm>(*services_);
        window_ = std::make_unique<QtWindow>(*form_);
        services_->setWindow(window_.get());
        form_->Form_Load();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

  private slots:
    void init() {
        vboard::Options options;
        options.path = dir_.filePath("board.bin").toStdString();
        QVERIFY(vboard::attach(options) != nullptr);
        services_ = std::make_unique<RecordingServices>();
        program_ = std::make_unique<QTemporaryDir>();
        services_->folder = program_->path().toStdString();
        plexmoor::testing::LinkLibrariesInto(services_->folder);
        open();
    }

    void cleanup() {
        if (form_->state().bInit) form_->zintra().ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        window_.reset();
        form_.reset();
        services_.reset();
        program_.reset();
        vboard::detach();
    }

    void opensWithFourTabs() {
        auto* tabs = find<QTabWidget>(C::SSTab);
        QCOMPARE(tabs->count(), 4);
        QStringList titles;
        for (int i = 0; i < tabs->count(); ++i)
            titles << tabs->tabText(i);
        QCOMPARE(titles, (QStringList{"Flash", "Setting", "MIB", "Design"}));
        QCOMPARE(window_->windowTitle(), QString("Solvanti Plexmoor ( Ver: 1.17 ) "));
        QCOMPARE(find<QGroupBox>(C::FmeOrvoFlash)->title(), QString("Orvo Flash"));
        QCOMPARE(find<QPushButton>(C::Command3)->text(), QString("Flash"));
        QVERIFY(!find<QWidget>(C::cmbSysVer)->isEnabled());
        // 9795 x 8640 twips outside, so the client area is a little smaller
        // than 653 x 576 pixels at 96 dpi.
        QVERIFY(window_->width() > window_->pixels(9000) &&
                window_->width() <= window_->pixels(9795));
        QVERIFY(window_->height() > window_->pixels(7800) &&
                window_->height() <= window_->pixels(8640));
    }

    // Each tab, under each product, shows its controls whole: no caption or
    // list entry is cut by the widget it sits in.
    void noCaptionIsClipped() {
        auto* tabs = find<QTabWidget>(C::SSTab);
        QStringList clipped;
        for (int version : {3, 4}) {
            form_->control(C::cmbSysVer).setListIndex(version - 1);
            for (int t = 0; t < tabs->count(); ++t) {
                tabs->setCurrentIndex(t);
                QCoreApplication::processEvents();
                for (QWidget* w : tabs->widget(t)->findChildren<QWidget*>()) {
                    if (!w->isVisibleTo(tabs)) continue;
                    int need = 0, have = w->width();
                    const QFontMetrics fm = w->fontMetrics();
                    if (auto* label = qobject_cast<QLabel*>(w)) {
                        need = fm.horizontalAdvance(label->text());
                        have = label->contentsRect().width();
                    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                        need = fm.horizontalAdvance(button->text()) +
                               (qobject_cast<QCheckBox*>(w) ? 24 : 8);
                    } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
                        need = fm.horizontalAdvance(frame->title()) + 16;
                    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
                        for (int i = 0; i < combo->count(); ++i)
                            need = std::max(need, fm.horizontalAdvance(combo->itemText(i)) + 28);
                    }
                    if (need > have)
                        clipped << QString("%1 (%2 > %3)").arg(w->objectName()).arg(need).arg(have);
                }
            }
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
    }

    // Three columns of sixteen boxes, each with its caption to its left.
    void mibTabShowsThreeColumnsOfSixteenLabelledBoxes() {
        find<QTabWidget>(C::SSTab)->setCurrentIndex(2);
        std::set<int> columns;
        for (int k = 0; k < 48; ++k) {
            auto* label = find<QLabel>(C::lblMIBConf, k);
            auto* box = find<QLineEdit>(C::txtMIBConf, k);
            QVERIFY(label->isVisible() && box->isVisible());
            QVERIFY(!label->text().isEmpty());
            QVERIFY(label->geometry().right() < box->geometry().left());
            QVERIFY(std::abs(label->geometry().center().y() - box->geometry().center().y()) < 4);
            auto* first = find<QLineEdit>(C::txtMIBConf, k % 16);
            QCOMPARE(box->y(), first->y());
            columns.insert(box->x());
        }
        QCOMPARE(columns.size(), std::size_t{3});
    }

    void framesPerSystemVersion() {
        struct Expect {
            int version;
            bool orvo;
        };
        for (Expect e : {Expect{2, true}, Expect{4, false}, Expect{3, true}}) {
            form_->control(C::cmbSysVer).setListIndex(e.version - 1);
            QCOMPARE(shown(C::FmeOrvoFlash), e.orvo);
            QCOMPARE(shown(C::FmeFWSelect), e.orvo);
            QCOMPARE(shown(C::fmeOrvoSetting), e.orvo);
            QCOMPARE(shown(C::fmeQuarnLite), !e.orvo);
            QCOMPARE(shown(C::txtStart, 1), e.version == 2);
            QVERIFY(!shown(C::FmeOrvoPar));
            QVERIFY(!shown(C::FMEDebug));
        }
        QCOMPARE(find<QComboBox>(C::cmbPrd)->currentText(), QString("1-Orvo"));
    }

    // The file the window writes at its close is the one the window logic
    // alone writes from the same start: the widgets change nothing of it.
    void closeWritesTheSettingsFileItStartedFrom() {
        const std::string start = "SYSVER=4\r\nDIP=2\r\nMEMOALL=board\r\nCONF105=77\r\n"
                                  "AL03=x3\r\nMIBDEBUG=1 2|3 4\r\n";
        auto read = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        // The same folder, as the default paths in the file come from it.
        RecordingServices logic_services;
        logic_services.folder = services_->folder;
        const std::string ini = services_->folder + "/Glinterra.ini";
        std::ofstream(ini, std::ios::binary) << start;
        {
            FlashForm logic(logic_services);
            logic.Form_Load();
            logic.Form_Unload();
        }
        const std::string expected = read(ini);
        QVERIFY(expected.find("\r\nDIP=2\r\n") != std::string::npos);
        QVERIFY(expected.find("\r\nCONF105=77\r\n") != std::string::npos);

        std::ofstream(ini, std::ios::binary) << start;
        open();
        QCOMPARE(find<QComboBox>(C::cmbPrd)->currentText(), QString("2-Quarn-Lite"));
        QVERIFY(shown(C::fmeQuarnLite));
        QCOMPARE(find<QLineEdit>(C::txtAL, 3)->text(), QString("x3"));
        QVERIFY(window_->close());
        QCOMPARE(read(ini), expected);
        QVERIFY(services_->messages.empty());
    }

    // The chip, the bar and the time left during a run, the time and rate
    // after it; PLEXMOOR_SHOTS=folder keeps a picture of both.
    void flashPanelDuringAndAfterARun() {
        QString path = dir_.filePath("run.b");
        std::ofstream(path.toStdString(), std::ios::binary) << std::string(0x30000, 'z');
        form_->control(C::txtPath).setText(path.toStdString());
        QTest::mouseClick(find<QPushButton>(C::Command2), Qt::LeftButton);
        QCOMPARE(find<QLabel>(C::lblChip)->text(), QString("C2 20 15, MX25L16-class, 2 MiB"));
        const QString shots = qEnvironmentVariable("PLEXMOOR_SHOTS");
        int seen = -1;
        QString left;
        services_->on_pump = [&] {
            // In virtual time a run is over before a second passes: every
            // pump stands for a tick of the timer.
            Control& timer = form_->control(C::Timer1);
            if (timer.enabled()) form_->controls().raise(timer, Event::Timer);
            auto* bar = find<QProgressBar>(C::pgbFlash);
            // The run's own progress, not the backup's before it.
            if (!find<QLabel>(C::lblProgress)->text().startsWith("Backing up") &&
                bar->value() >= 500 && seen < 0) {
                seen = bar->value();
                left = find<QLabel>(C::lblProgress)->text();
                QVERIFY(find<QPushButton>(C::btnStop)->isEnabled());
                if (!shots.isEmpty()) window_->grab().save(shots + "/plexmoor-running.png");
            }
        };
        QTest::mouseClick(find<QPushButton>(C::Command3), Qt::LeftButton);
        services_->on_pump = nullptr;
        QVERIFY(seen >= 500 && seen < 1000);
        QVERIFY2(left.endsWith(" left"), qPrintable(left));
        QCOMPARE(find<QProgressBar>(C::pgbFlash)->value(), 1000);
        QVERIFY(find<QLabel>(C::lblProgress)->text().startsWith("took "));
        QVERIFY(!find<QPushButton>(C::btnStop)->isEnabled());
        if (!shots.isEmpty()) window_->grab().save(shots + "/plexmoor-done.png");
    }

    void initAndFlashThroughTheWidgets() {
        QByteArray image(10000, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 7 + 3);
        QString path = dir_.filePath("firmware.b");
        std::ofstream(path.toStdString(), std::ios::binary).write(image.data(), image.size());

        auto* edit = find<QLineEdit>(C::txtPath);
        edit->selectAll();
        QTest::keyClicks(edit, path);
        QCOMPARE(QString::fromStdString(form_->control(C::txtPath).text()), path);

        QTest::mouseClick(find<QPushButton>(C::Command2), Qt::LeftButton);
        QCOMPARE(find<QPushButton>(C::Command2)->text(), QString("Uninit"));

        bool locked = false;
        services_->on_pump = [&] {
            if (form_->zintra().programming())
                locked = locked || !find<QPushButton>(C::Command3)->isEnabled();
        };
        QTest::mouseClick(find<QPushButton>(C::Command3), Qt::LeftButton);
        QVERIFY(locked);
        QVERIFY(find<QPushButton>(C::Command3)->isEnabled());
        QVERIFY(services_->messages.empty());
        QCOMPARE(window_->windowTitle(),
                 QString("0: Msg = Flash Complete, Solvanti Plexmoor ( Ver: 1.17 )"));
        std::vector<uint8_t> flash = vboard::current()->read(0, 10000);
        QVERIFY(std::equal(flash.begin(), flash.end(), image.begin(),
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
    }

    void closeDuringFlashWaitsForTheRun() {
        QString path = dir_.filePath("firmware.b");
        std::ofstream(path.toStdString(), std::ios::binary) << std::string(9000, 'x');
        form_->control(C::txtPath).setText(path.toStdString());
        QTest::mouseClick(find<QPushButton>(C::Command2), Qt::LeftButton);

        bool tried = false;
        services_->on_pump = [&] {
            if (form_->zintra().programming() && !tried) {
                tried = true;
                QVERIFY(!window_->close());
                QVERIFY(window_->isVisible());
            }
        };
        QTest::mouseClick(find<QPushButton>(C::Command3), Qt::LeftButton);
        QVERIFY(tried);
        QTRY_VERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(QtWindowTest)
#include "qt_window_test.moc"
