#include "shell/BackgroundForm.h"

#include <QLabel>
#include <QPixmap>

BackgroundForm::BackgroundForm(QWidget* parent)
    : QWidget(parent), BackgroundImage(new QLabel(this)) {
  setObjectName(QStringLiteral("BackgroundForm"));
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  BackgroundImage->setObjectName(QStringLiteral("BackgroundImage"));
  BackgroundImage->setPixmap(QPixmap(QStringLiteral(":/veld32/background.png")));
  BackgroundImage->move(0, 0);
  BackgroundImage->adjustSize();
  Form_Load();
}

void BackgroundForm::Form_Load() { setFixedSize(BackgroundImage->size()); }
