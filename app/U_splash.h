#pragma once
#include <QLabel>
#include <QWidget>

class TFrm_Splash : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_Splash(QWidget* parent = nullptr);
    QLabel* Image1;
    QLabel* Label1;

protected:
    void mousePressEvent(QMouseEvent* e) override;
};
