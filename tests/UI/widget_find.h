// A widget of the real window by the key the window's code writes, which is
// its object name; a missing one ends the test with its name.
#pragma once

#include <QWidget>
#include <QtGlobal>

template <typename W> W* FindWidget(QWidget& window, const char* key) {
    W* w = window.findChild<W*>(key);
    if (!w) qFatal("no widget %s", key);
    return w;
}
