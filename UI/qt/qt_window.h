// The window on Qt: one widget per control of the form, kept in step with
// the controls, and the user's clicks, choices, typing and close requests
// handed to the form's handlers.
#pragma once

#include "binding_support.h"
#include "flash_form.h"

#include <QWidget>

#include <map>

class QTabWidget;
class QTimer;

namespace plexmoor {

class QtWindow : public QWidget {
  public:
    explicit QtWindow(FlashForm& form);
    ~QtWindow() override;

    // The widget of a control, found by the key the code writes
    // ("Command2", "txtFile3(1)"); also its object name.
    QWidget* widgetOf(const std::string& key) const;
    // Pixels for twips at the screen's logical resolution.
    int pixels(int twips) const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void create(Control& c);
    QWidget* parentFor(const Control& c);
    void update(const Control& c, Property property);
    void updateAll(const Control& c);
    void applyGeometry(const Control& c);
    void setWidgetEnabled(const Control& c, QWidget* widget);

    FlashForm& form_;
    QWidget* central_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    std::map<const Control*, QObject*> objects_;
    std::map<std::string, QWidget*> widgets_;
    std::map<QObject*, Control*> controls_;
    WidgetSync sync_;
    double dpi_ = 96.0;
};

} // namespace plexmoor
