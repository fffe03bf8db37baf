#pragma once
// Small builders the windows share: widgets named as the language files address them.
#include <QLabel>
#include <QPushButton>

// Gives the widget its name and hands it back.
template <class T> T *Named(T *widget, const char *name) {
  widget->setObjectName(name);
  return widget;
}

// A push button that Enter in another control does not press.
inline QPushButton *Button(const char *name, const char *caption, QWidget *parent) {
  auto *button = Named(new QPushButton(caption, parent), name);
  button->setAutoDefault(false);
  return button;
}

// A label showing caption (UTF-8).
inline QLabel *Label(const char *name, const char *caption, QWidget *parent) {
  return Named(new QLabel(QString::fromUtf8(caption), parent), name);
}
