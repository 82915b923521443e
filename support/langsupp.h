// Language support: replaces the visible texts of a form with strings from the
// program's string table, keyed by each component's Tag.
//
// A component (widget, action, dialog...) opts in with a positive "Tag"
// dynamic property: setProperty("Tag", id). Tag is the id of its first text,
// Tag + 1 of its second (hint = tool tip, file filter). A form's own Tag
// translates its window title. List views carry their column ids in the
// dynamic property "ColumnTags" (a QVariantList of ints; a missing entry is 0).
// Which Qt class takes which texts is tabled in langsupp.cpp.
//
// The string table is compiled into the program as Qt resources: every file
// under ":/varnelo-strings/" (UTF-8 text, one "id=text" per line, id 0-65535,
// "\n", "\t" and "\\" escapes, "#" comment lines). Other parts of the program
// may add their own files there.
#pragma once

#include <QString>

class QObject;
class QWidget;

// The string with the given id, cut to its first 254 characters; empty for an
// id the table does not hold (or outside 0-65535).
QString LoadLanguageString(int Id);

// Translates the form, its components (all descendants, in child order, depth
// first) and its MDI child forms, in place.
void TranslateForm(QWidget* Form);

// The Tag of a component (dynamic property "Tag"; 0 when not set).
int ComponentTag(const QObject* component);
void SetComponentTag(QObject* component, int tag);

// Reads the string table from the given resource or file folder instead of
// ":/varnelo-strings/" (empty path: back to the compiled-in table). For tests.
void SetLanguageTableFolder(const QString& folder);
