#pragma once

#include <QWidget>

class QLabel;

// The borderless white window that shows the background picture near the frame's bottom right
// corner; it sizes itself to its picture.
class BackgroundForm : public QWidget {
  Q_OBJECT

 public:
  explicit BackgroundForm(QWidget* parent = nullptr);

  void Form_Load();

 private:
  QLabel* BackgroundImage;
};
