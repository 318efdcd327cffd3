#pragma once
// The main window: a frame around the MDI area, owning the current user.
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>

#include "app/db/Query.h"

class QComboBox;

class TFrm_Main : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrm_Main(QWidget* parent = nullptr);
    ~TFrm_Main() override;

    void FormShow();
    void LoadSoftInfo();
    void FillComboById(db::Query* query, QComboBox* combo, const QString& table);

    void setStatusText(int panel, const QString& text);
    QString statusText(int panel) const;

    QString UserName;
    int UserPermit = 0;
    QString SoftName;
    QString SoftVersion;
    QString RootCategory;

    QMdiArea* MdiArea;
    QLabel* StatusPanels[3];

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool shown_ = false;
};

extern TFrm_Main* Frm_Main;
