// A widget of the real window by its control's handle; the widget's object
// name is the key the window's code writes. A missing one ends the test
// with its name.
#pragma once

#include "controls.h"

#include <QWidget>
#include <QtGlobal>

#include <string>

template <typename W>
W* FindWidget(QWidget& window, plexmoor::C id, int index = plexmoor::kNoIndex) {
    const std::string key = plexmoor::ControlKey(plexmoor::NameOf(id), index);
    W* w = window.findChild<W*>(QString::fromStdString(key));
    if (!w) qFatal("no widget %s", key.c_str());
    return w;
}
