#pragma once
#include <QWidget>

class frmBootloader : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};
