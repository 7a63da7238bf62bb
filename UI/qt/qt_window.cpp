#include "qt_window.h"

#include "control_table.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

namespace plexmoor {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The boxes hold CR LF line ends, as the files and the library expect;
// the editor works with LF.
QString ToEditor(const std::string& s) {
    return Q(s).replace("\r\n", "\n");
}

std::string FromEditor(const QString& s) {
    QString text = s;
    text.replace("\r\n", "\n").replace("\n", "\r\n");
    return text.toStdString();
}

} // namespace

QtWindow::QtWindow(FlashForm& form) : form_(form) {
    if (QScreen* screen = this->screen()) dpi_ = screen->logicalDotsPerInchX();
    // The places in the control table are drawn for an 8-point face.
    QFont face = font();
    face.setPointSize(8);
    setFont(face);
    for (Control& c : form_.controls().all())
        create(c);
    for (Control& c : form_.controls().all())
        updateAll(c);
    form_.controls().onChange([this](const Control& c, Property p) { update(c, p); });
}

QtWindow::~QtWindow() {
    form_.controls().onChange(nullptr);
}

int QtWindow::pixels(int twips) const {
    return TwipsToPixels(twips, dpi_);
}

QWidget* QtWindow::widgetOf(const std::string& key) const {
    auto it = widgets_.find(key);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* QtWindow::parentFor(const Control& c) {
    if (c.parent().empty()) return this;
    if (c.parent() == NameOf(C::SSTab) && tabs_) return tabs_->widget(c.tab());
    QWidget* parent = widgetOf(c.parent());
    return parent ? parent : this;
}

void QtWindow::create(Control& c) {
    QObject* object = nullptr;
    QWidget* widget = nullptr;
    QWidget* parent = parentFor(c);
    switch (c.kind()) {
    case Kind::Window:
        widget = this;
        break;
    case Kind::TabControl: {
        tabs_ = new QTabWidget(parent);
        for (const std::string& caption : c.items())
            tabs_->addTab(new QWidget, Q(caption));
        widget = tabs_;
        break;
    }
    case Kind::Frame:
        widget = new QGroupBox(parent);
        break;
    case Kind::Label: {
        auto* label = new QLabel(parent);
        // A label of more than a line wraps its text into them.
        label->setWordWrap(c.height() >= 2 * layout::kLabelH);
        widget = label;
        break;
    }
    case Kind::TextBox: {
        auto* edit = new QLineEdit(parent);
        connect(edit, &QLineEdit::textChanged, this,
                [this, &c](const QString& text) { sync_.widgetText(c, text.toStdString()); });
        connect(edit, &QLineEdit::returnPressed, this,
                [this, &c] { form_.controls().userKeyPress(c, 13); });
        edit->installEventFilter(this);
        widget = edit;
        break;
    }
    case Kind::MultiLineTextBox: {
        auto* edit = new QPlainTextEdit(parent);
        // A wrapped line would read as two records of the list.
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        connect(edit, &QPlainTextEdit::textChanged, this,
                [this, edit, &c] { sync_.widgetText(c, FromEditor(edit->toPlainText())); });
        widget = edit;
        break;
    }
    case Kind::ComboBox: {
        auto* combo = new QComboBox(parent);
        connect(combo, &QComboBox::activated, this,
                [this, &c](int index) { form_.controls().userSelect(c, index); });
        widget = combo;
        break;
    }
    case Kind::Button: {
        auto* button = new QPushButton(parent);
        connect(button, &QPushButton::clicked, this, [this, &c] { form_.controls().userClick(c); });
        widget = button;
        break;
    }
    case Kind::CheckBox: {
        auto* check = new QCheckBox(parent);
        connect(check, &QCheckBox::clicked, this, [this, &c] { form_.controls().userClick(c); });
        widget = check;
        break;
    }
    case Kind::Timer: {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, &c] {
            if (c.enabled()) form_.controls().raise(c, Event::Timer);
        });
        object = timer;
        break;
    }
    case Kind::FileDialog:
        break;
    case Kind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 1000);
        bar->setFormat("%p%");
        widget = bar;
        break;
    }
    }
    if (widget) {
        widget->setObjectName(Q(c.key()));
        widgets_[c.key()] = widget;
        object = widget;
    }
    if (object) {
        objects_[&c] = object;
        controls_[object] = &c;
    }
}

void QtWindow::updateAll(const Control& c) {
    for (Property p : kAllProperties)
        update(c, p);
}

void QtWindow::applyGeometry(const Control& c) {
    if (c.kind() == Kind::Window) {
        // The form gives the outer size; the widget is sized by its client
        // area, which the standard caption and borders take from it.
        resize(pixels(ClientWidthTwips(c)), pixels(ClientHeightTwips(c)));
        return;
    }
    if (QWidget* w = widgetOf(c.key())) {
        w->setGeometry(pixels(c.left()), pixels(c.top()), pixels(c.width()), pixels(c.height()));
    }
}

void QtWindow::update(const Control& c, Property property) {
    auto found = objects_.find(&c);
    if (found == objects_.end()) return;
    QObject* object = found->second;
    WidgetSync::Push push(sync_);
    switch (property) {
    case Property::Geometry:
        applyGeometry(c);
        break;
    case Property::Caption:
        if (c.kind() == Kind::Window) setWindowTitle(Q(c.caption()));
        if (auto* box = qobject_cast<QGroupBox*>(object)) box->setTitle(Q(c.caption()));
        if (auto* label = qobject_cast<QLabel*>(object)) label->setText(Q(c.caption()));
        if (auto* button = qobject_cast<QAbstractButton*>(object)) button->setText(Q(c.caption()));
        break;
    case Property::Text:
        if (auto* edit = qobject_cast<QLineEdit*>(object)) {
            if (edit->text().toStdString() != c.text()) edit->setText(Q(c.text()));
        }
        if (auto* edit = qobject_cast<QPlainTextEdit*>(object)) {
            if (FromEditor(edit->toPlainText()) != c.text()) edit->setPlainText(ToEditor(c.text()));
        }
        break;
    case Property::Items:
        if (auto* combo = qobject_cast<QComboBox*>(object)) {
            QSignalBlocker block(combo);
            combo->clear();
            for (const std::string& item : c.items())
                combo->addItem(Q(item));
            combo->setCurrentIndex(c.listIndex());
        }
        break;
    case Property::ListIndex:
        if (auto* combo = qobject_cast<QComboBox*>(object)) {
            QSignalBlocker block(combo);
            combo->setCurrentIndex(c.listIndex());
        }
        break;
    case Property::Value:
        if (auto* check = qobject_cast<QCheckBox*>(object)) check->setChecked(c.value() == 1);
        if (auto* bar = qobject_cast<QProgressBar*>(object)) bar->setValue(c.value());
        break;
    case Property::BackColor:
        if (auto* label = qobject_cast<QLabel*>(object)) {
            bool plain = c.backColor() == kButtonFace;
            label->setAutoFillBackground(!plain);
            QPalette palette = label->palette();
            palette.setColor(QPalette::Window, plain ? QWidget::palette().color(QPalette::Window)
                                                     : QColor::fromRgb(c.backColor()));
            label->setPalette(palette);
        }
        break;
    case Property::Interval:
        if (auto* timer = qobject_cast<QTimer*>(object)) timer->setInterval(c.interval());
        break;
    case Property::Enabled:
        if (auto* timer = qobject_cast<QTimer*>(object)) {
            if (c.enabled()) {
                timer->start(c.interval());
            } else {
                timer->stop();
            }
        } else if (object != this) {
            setWidgetEnabled(c, static_cast<QWidget*>(object));
        }
        break;
    case Property::Visible:
        if (object != this && object->isWidgetType()) {
            static_cast<QWidget*>(object)->setVisible(c.visible());
        }
        break;
    }
}

void QtWindow::setWidgetEnabled(const Control& c, QWidget* widget) {
    if (!c.enabled() && sync_.parkFocus(c, widget->hasFocus())) setFocus(Qt::OtherFocusReason);
    widget->setEnabled(c.enabled());
    if (c.enabled()) {
        QWidget* now = QApplication::focusWidget();
        if (sync_.unparkFocus(c, !now || now == this)) widget->setFocus(Qt::OtherFocusReason);
    }
}

void QtWindow::closeEvent(QCloseEvent* event) {
    if (!form_.Form_QueryUnload()) {
        event->ignore();
        return;
    }
    form_.Form_Unload();
    event->accept();
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        auto it = controls_.find(watched);
        if (it != controls_.end()) form_.controls().userFocus(*it->second);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace plexmoor
