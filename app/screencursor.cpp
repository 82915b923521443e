#include "screencursor.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>

#include <map>

namespace {

TCursor Current = crDefault;

std::map<TCursor, QCursor>& Slots()
{
    static std::map<TCursor, QCursor> S;
    return S;
}

QCursor ShapeOf(TCursor Cursor)
{
    if (Cursor == crHourGlass)
        return QCursor(Qt::WaitCursor);
    const auto It = Slots().find(Cursor);
    return It != Slots().end() ? It->second : QCursor(Qt::ArrowCursor);
}

} // namespace

void SetScreenCursor(TCursor Cursor)
{
    if (Cursor == Current)
        return;
    // Our one override may sit on top of none or be replaced in place; others'
    // override cursors (if any) stay below it untouched.
    if (Current != crDefault && Cursor != crDefault)
        QGuiApplication::changeOverrideCursor(ShapeOf(Cursor));
    else if (Cursor != crDefault)
        QGuiApplication::setOverrideCursor(ShapeOf(Cursor));
    else
        QGuiApplication::restoreOverrideCursor();
    Current = Cursor;
}

TCursor ScreenCursor()
{
    return Current;
}

void SetCursorSlot(TCursor Slot, const QCursor& Cursor)
{
    Slots()[Slot] = Cursor;
    if (Current == Slot)
        QGuiApplication::changeOverrideCursor(Cursor);
}
