// Plexmoor as a user runs it: this process does not link the virtual board;
// the board comes in through the environment, exactly as with
// scripts/run.sh --virtual-board, behind the library the window loads by
// name. The demo image is made by the demo tool, the clicks go to the
// widgets, and modal boxes are answered as a user would answer them.
#include "program_folder.h"
#include "qt_services.h"
#include "qt_window.h"
#include "record.h"
#include "widget_find.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <memory>

using namespace plexmoor;

namespace {

// The real services, but the program's folder is a folder of the test's own
// holding links to the libraries, so the settings file the window reads and
// writes there belongs to this run alone.
class ProgramServices : public QtServices {
  public:
    explicit ProgramServices(std::string folder) : folder_(std::move(folder)) {}
    std::string programFolder() override { return folder_; }

  private:
    std::string folder_;
};

} // namespace

class ProductRoadTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString board_;
    QString image_;
    QStringList boxes_;
    // The button a question is answered with; Ok boxes are accepted.
    QMessageBox::StandardButton answer_ = QMessageBox::No;
    std::unique_ptr<ProgramServices> services_;
    std::unique_ptr<FlashForm> form_;
    std::unique_ptr<QtWindow> window_;

    template <typename W> W* find(C id, int index = kNoIndex) {
        return FindWidget<W>(*window_, id, index);
    }

    // A modal box stops the test as it would stop a user; it is read and
    // answered with its default button.
    void answerBoxes() {
        auto* timer = new QTimer(window_.get());
        connect(timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes_ << box->text();
                if (QAbstractButton* button = box->button(answer_))
                    button->click();
                else
                    box->accept();
            }
        });
        timer->start(20);
    }

  private slots:
    void initTestCase() {
        // Run by scripts/emulated-bridge.sh, the board is behind the USB road.
        board_ = qEnvironmentVariable("EMULATED_BRIDGE_BOARD", dir_.filePath("board.bin"));
        image_ = dir_.filePath("firmware.b");
        if (!qEnvironmentVariableIsSet("EMULATED_BRIDGE_BOARD")) {
            qputenv("FTD2XX_VIRTUAL_BOARD", board_.toLocal8Bit());
            qputenv("FTD2XX_VIRTUAL_TIME", "1");
        }
        QProcess tool;
        tool.start(QString(PLEXMOOR_PRODUCT_BIN) + "/plexmoor-demo-image", {image_});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(QFile::exists(image_));

        QDir(dir_.path()).mkdir("program");
        const std::string program = dir_.filePath("program").toStdString();
        plexmoor::testing::LinkLibrariesInto(program);
        services_ = std::make_unique<ProgramServices>(program);
        form_ = std::make_unique<FlashForm>(*services_);
        window_ = std::make_unique<QtWindow>(*form_);
        services_->setWindow(window_.get());
        form_->Form_Load();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        answerBoxes();
    }

    // Virtual time reaches the board through the library the window loaded
    // locally; the text set without typing is the one programmed; the
    // focus is back on the Flash button and no box text is selected.
    void flashTheDemoImageInVirtualTime() {
        find<QLineEdit>(C::txtPath)->setText(image_);
        QCOMPARE(form_->control(C::txtPath).text(), image_.toStdString());

        QTest::mouseClick(find<QPushButton>(C::Command2), Qt::LeftButton);
        QCOMPARE(find<QPushButton>(C::Command2)->text(), QString("Uninit"));
        auto* flash = find<QPushButton>(C::Command3);
        flash->setFocus(Qt::MouseFocusReason);
        QElapsedTimer wall;
        wall.start();
        QTest::mouseClick(flash, Qt::LeftButton);
        QCOMPARE(boxes_, QStringList());
        QCOMPARE(window_->windowTitle(),
                 QString("0: Msg = Flash Complete, Solvanti Plexmoor ( Ver: 1.17 )"));
        qInfo("a %lld-byte Flash took %lld ms of wall time", QFileInfo(image_).size(),
              static_cast<long long>(wall.elapsed()));

        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(flash));
        for (QLineEdit* edit : window_->findChildren<QLineEdit*>())
            QVERIFY2(!edit->hasSelectedText(), qPrintable(edit->objectName()));

        // Uninit closes the device, which writes the board file.
        QTest::mouseClick(find<QPushButton>(C::Command2), Qt::LeftButton);
        QFile board(board_), image(image_);
        QVERIFY(board.open(QIODevice::ReadOnly) && image.open(QIODevice::ReadOnly));
        QByteArray written = image.readAll();
        QCOMPARE(board.read(written.size()), written);
    }

    // The serial written is the box's, with the record as without; the
    // record reserves it once, knows the board that holds it (rework), asks
    // before another serial goes over one it knows, and refuses a serial
    // another board holds. Every step is a row of the record beside the
    // settings file; History shows them.
    void theSerialIsTheBoxsAndTheRecordKeepsEachOnce() {
        QTest::mouseClick(find<QPushButton>(C::Command2), Qt::LeftButton);
        QTest::mouseClick(find<QPushButton>(C::btnGenerate), Qt::LeftButton);
        const QString first = find<QLineEdit>(C::txtSerial)->text();
        QVERIFY2(first.endsWith("001"), qPrintable(first));
        const QString typed45(45, 'T'), typed46(46, 'T');
        struct Step {
            QString box; // empty: Generate from the box as it is
            QMessageBox::StandardButton answer;
            QString told;    // a box holding this text, or none
            QString written; // what the board holds after
            const char* mode;
        };
        const Step steps[] = {
            {first, QMessageBox::No, "", first, "new"},
            {first, QMessageBox::No, "", first, "rework"},
            {typed45, QMessageBox::Yes, "holds the serial " + first, typed45, "new"},
            {typed46, QMessageBox::No, "The max serial number length is 45", typed45, nullptr},
            {first, QMessageBox::No, "was written to another board", typed45, nullptr},
            {"", QMessageBox::No, "", first.left(8) + "002", "new"},
        };
        const std::string record = dir_.filePath("program/plexmoor-record.db").toStdString();
        for (const Step& step : steps) {
            boxes_.clear();
            answer_ = step.answer;
            if (step.box.isEmpty())
                QTest::mouseClick(find<QPushButton>(C::btnGenerate), Qt::LeftButton);
            else
                find<QLineEdit>(C::txtSerial)->setText(step.box);
            QTest::mouseClick(find<QPushButton>(C::btnSerial), Qt::LeftButton);
            if (step.told.isEmpty())
                QCOMPARE(boxes_, QStringList());
            else
                QVERIFY2(boxes_.size() == 1 && boxes_[0].contains(step.told),
                         qPrintable(boxes_.join("|")));
            const auto rows = record::Record::Open(record)->history({});
            if (step.mode) {
                QCOMPARE(rows.back().mode, std::string(step.mode));
                QCOMPARE(QString::fromStdString(rows.back().board_serial), step.written);
            }
        }
        const auto rows = record::Record::Open(record)->history({});
        QCOMPARE(rows.size(), std::size_t{6}); // the Flash before, five Flash Settings
        QCOMPARE(rows[0].operation, record::Operation::Flash);
        QCOMPARE(rows[0].image, std::string("firmware.b"));
        QCOMPARE(rows[0].image_sha256.size(), std::size_t{64});
        const QStringList written = {first, first.left(8) + "002"};

        QTest::mouseClick(find<QPushButton>(C::btnHistory), Qt::LeftButton);
        QDialog* history = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "HistoryDialog" && top->isVisible())
                history = qobject_cast<QDialog*>(top);
        QVERIFY(history);
        auto* table = history->findChild<QTableWidget*>("tblHistory");
        QCOMPARE(table->rowCount(), 6);
        history->findChild<QLineEdit*>("txtHistoryFilter")->setText(written[1]);
        int shown = 0;
        for (int r = 0; r < table->rowCount(); ++r)
            shown += table->isRowHidden(r) ? 0 : 1;
        QCOMPARE(shown, 1);
        history->close();
    }

    void cleanupTestCase() {
        window_.reset();
        form_.reset();
        services_.reset();
    }
};

QTEST_MAIN(ProductRoadTest)
#include "product_road_test.moc"
