#include "activities/Windows.h"

#include "activities/ActivitySchema.h"
#include "activities/U_AddDaily.h"
#include "activities/U_AddSchedule.h"
#include "activities/U_Daily.h"
#include "activities/U_Sale.h"
#include "activities/U_Schedule.h"
#include "app/U_Main.h"
#include "app/U_data.h"

void registerActivityWindows() {
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Daily"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Daily(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_AddDaily"), [](QWidget* parent, const QVariant& mode) -> QWidget* {
        const bool add = mode.toInt() == 1;
        // Editing needs an entry under the list's cursor; without one the
        // user is told so, not shown the data layer's complaint.
        if (!add && !dailyEntryToEdit()) return nullptr;
        auto* w = new TFrm_AddDaily(parent);
        w->AddMode = add;
        return w;
    });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Schedule"),
                              [](QWidget* parent, const QVariant&) { return new TFrm_Schedule(parent); });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_AddSchedule"),
                              [](QWidget* parent, const QVariant& mode) -> QWidget* {
                                  const bool add = mode.toInt() == 1;
                                  if (!activities::schedulesUsable(Frm_Data->Connection)) return nullptr;
                                  if (!add && !scheduleEntryToEdit()) return nullptr;
                                  auto* w = new TFrm_AddSchedule(parent);
                                  w->AddMode = add;
                                  return w;
                              });
    TFrm_Main::registerWindow(QStringLiteral("TFrm_Sale"), [](QWidget* parent, const QVariant&) -> QWidget* {
        if (!activities::salesUsable(Frm_Data->Connection)) return nullptr;
        return new TFrm_Sale(parent);
    });
}
