#pragma once

#include <QString>

#include "data/dataset.h"

class Clock;
class Database;
class Prompter;

// The rules of the units of measure: adding with the next unit code,
// editing in the grid, deleting, saving every row only when all are valid,
// the question on closing, and picking a unit for the goods editor.
class UnitsEditor {
public:
    UnitsEditor(Database& db, const Clock& clock, Prompter& prompter);

    void open();
    Dataset& units() { return m_units; }
    bool isEditable() const { return m_editable; }
    bool isChanged() const { return m_units.hasChanges(); }

    void add();
    void edit();
    // Deletes the selected units (a cached change, written by the next save);
    // refuses units that goods still use.
    bool remove(const QList<int>& rows);
    // Validates every row and writes; false (and nothing written) with the
    // message "请填写[...]" when a code or name is missing.
    bool save();
    // The window is closing: true when it may close.
    bool close();
    QString pick(int row) const;
    // Picks a unit for another window: pending changes are saved first (or,
    // if the user says no, dropped), and only a unit the book holds is
    // handed out. False when nothing may be picked yet.
    bool choose(int row, QString* code);

private:
    Database& m_db;
    const Clock& m_clock;
    Prompter& m_prompter;
    Dataset m_units;
    bool m_editable = false;
};
