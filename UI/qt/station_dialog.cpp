#include "station_dialog.h"

#include "texts.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace plexmoor {
namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

constexpr int kPollMs = 100;

// A bridge's panel: the word large, in the colours of its step.
struct Look {
    std::string_view word;
    const char* background;
};
Look LookOf(ops::StationStep step) {
    switch (step) {
    case ops::StationStep::Passed:
        return {"PASS", "#1e8e3e"};
    case ops::StationStep::Failed:
        return {"FAIL", "#c5221f"};
    case ops::StationStep::Started:
        return {"BUSY", "#f9ab00"};
    case ops::StationStep::Lost:
        return {"LOST", "#8e24aa"};
    default:
        return {"WAIT", "#1a73e8"};
    }
}

} // namespace

StationDialog::StationDialog(Services& services, StationSetup setup, QWidget* parent)
    : QDialog(parent), services_(services), setup_(std::move(setup)), bridges_(setup_.bridges) {
    setObjectName("StationDialog");
    setWindowTitle(Q(text::kStationTitle));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto field = [&](const char* name, std::string_view label, const std::string& value) {
        auto* edit = new QLineEdit(QString::fromStdString(value), this);
        edit->setObjectName(name);
        form->addRow(Q(label), edit);
        return edit;
    };
    image_ = field("txtStationImage", text::kStationImage, setup_.image);
    config_ = field("txtStationConfig", text::kStationConfig, setup_.config);
    record_ = field("txtStationRecord", text::kStationRecord,
                    setup_.record.empty() ? std::string(text::kStationDefaultRecord)
                                          : setup_.record);
    // What the boards take is fixed for a run; the configuration is the
    // window's, saved for the station.
    config_->setReadOnly(true);
    record_->setReadOnly(true);
    layout->addLayout(form);

    grid_ = new QGridLayout;
    layout->addLayout(grid_, 1);

    counts_ = new QLabel(this);
    counts_->setObjectName("lblStationCounts");
    layout->addWidget(counts_);
    said_ = new QLabel(this);
    said_->setObjectName("lblStationSaid");
    said_->setWordWrap(true);
    layout->addWidget(said_);

    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(Q(text::kStationStart), this);
    start_->setObjectName("btnStationStart");
    stop_ = new QPushButton(Q(text::kStationStop), this);
    stop_->setObjectName("btnStationStop");
    stop_->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    layout->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, [this] { start(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stop(); });

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { poll(); });
    resize(760, 520);

    if (!setup_.refused.empty()) {
        said_->setText(QString::fromStdString(setup_.refused));
        start_->setEnabled(false);
    }
    tally_ = std::make_unique<ops::StationTally>();
    showPanels();
}

StationDialog::~StationDialog() = default;

std::vector<std::string> StationDialog::workerArgs(const std::string& bridge) const {
    std::vector<std::string> args{setup_.cli, "station", image_->text().toStdString(),
                                  "--config", setup_.config, "--device", bridge, "--report"};
    if (setup_.fast) {
        args.insert(args.end(), {"--fast", "--clock", std::to_string(setup_.clock_mhz)});
    }
    if (!setup_.record.empty()) args.insert(args.end(), {"--record", setup_.record});
    return args;
}

void StationDialog::start() {
    image_->setReadOnly(true);
    start_->setEnabled(false);
    stop_->setEnabled(true);
    said_->clear();
    tally_ = std::make_unique<ops::StationTally>();
    pool_ = std::make_unique<WorkerPool>();
    pool_->start(bridges_, [this](const std::string& bridge) { return workerArgs(bridge); });
    for (const WorkerPool::Worker& w : pool_->workers())
        if (!w.why_not_started.empty())
            said_->setText(QString::fromStdString(w.bridge + ": " + w.why_not_started));
    showPanels();
    timer_->start(kPollMs);
}

// The workers end after the boards under way, never in the middle of one.
void StationDialog::stop() {
    if (pool_) pool_->stopAll();
    stop_->setEnabled(false);
    said_->setText(Q(text::kStationStopping));
}

void StationDialog::poll() {
    if (!pool_) return;
    pool_->poll(
        0,
        [this](std::size_t i, const std::string& line) {
            if (const std::optional<ops::StationEvent> e = ops::ParseEventLine(line))
                tally_->take(*e);
            else if (line.rfind("@", 0) != 0 && !line.empty())
                said_->setText(QString::fromStdString(pool_->workers()[i].bridge + ": " + line));
        },
        {});
    showPanels();
    if (pool_->running()) return;
    timer_->stop();
    pool_.reset();
    image_->setReadOnly(false);
    start_->setEnabled(true);
    stop_->setEnabled(false);
    said_->setText(Q(text::kStationEnded));
}

void StationDialog::showPanels() {
    for (std::size_t i = 0; i < bridges_.size(); ++i) {
        const std::string& bridge = bridges_[i];
        QLabel*& panel = panels_[bridge];
        if (!panel) {
            panel = new QLabel(this);
            panel->setObjectName(QString::fromStdString("lblStation" + bridge));
            panel->setAlignment(Qt::AlignCenter);
            panel->setMinimumSize(220, 150);
            panel->setWordWrap(true);
            grid_->addWidget(panel, static_cast<int>(i / 2), static_cast<int>(i % 2));
        }
        ops::StationEvent e;
        if (auto found = tally_->bridges().find(bridge); found != tally_->bridges().end())
            e = found->second;
        const Look look = LookOf(e.step);
        panel->setStyleSheet(QString("QLabel { background: %1; color: white; border-radius: 6px; }")
                                 .arg(look.background));
        panel->setText(QString("<div style='font-size:11pt'>%1</div>"
                               "<div style='font-size:34pt; font-weight:bold'>%2</div>"
                               "<div style='font-size:13pt'>%3</div>"
                               "<div style='font-size:9pt'>%4</div>")
                           .arg(QString::fromStdString(bridge), Q(look.word),
                                QString::fromStdString(e.serial),
                                QString::fromStdString(e.reason).toHtmlEscaped()));
    }
    counts_->setText(QString::fromStdString(
        std::string(text::kStationCountPassed) + std::to_string(tally_->passed()) +
        std::string(text::kStationCountFailed) + std::to_string(tally_->failed()) +
        std::string(text::kStationYield) + QString::number(tally_->yield(), 'f', 1).toStdString() +
        " %" + std::string(text::kStationPerHour) +
        QString::number(tally_->perHour(), 'f', 1).toStdString()));
}

void StationDialog::reject() {
    if (pool_) return stop(); // Escape stops; the dialog closes once the workers ended
    QDialog::reject();
}

void StationDialog::closeEvent(QCloseEvent* event) {
    if (pool_) {
        stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace plexmoor
