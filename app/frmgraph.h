#pragma once
#include <QWidget>

class frmGraph : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};
