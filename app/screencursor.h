// The screen cursor: one application-wide pointer shape that overrides every
// window's own while it is not crDefault (busy while loading or saving, REC
// while dictating). Setting it replaces the previous value; it is not a stack.
#pragma once

class QCursor;

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crRecording = 9;

void SetScreenCursor(TCursor Cursor);
TCursor ScreenCursor();

// Installs the picture for a cursor slot (crRecording). Until then the slot
// shows the normal arrow.
void SetCursorSlot(TCursor Slot, const QCursor& Cursor);
