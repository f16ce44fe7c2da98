// What the device operations need of a dialog: its controls by id. The main
// window and each page offer these; texts are code page 936 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "link/frame_sender.h"
#include "ops/device_row.h"

namespace vornik {

enum class MessageIcon { None, Exclamation };

class IControlOps {
public:
    virtual ~IControlOps() = default;

    virtual std::string GetText(int id) const = 0;
    // Whether the control's text has a code page 936 form. What a user types
    // may hold characters it has none for, which GetText can only give as
    // '?': a write must refuse such a text rather than send the '?'.
    virtual bool TextFits936(int) const { return true; }
    virtual void SetText(int id, const std::string& text936) = 0;
    // Adds tail936 at the end of the text: the same as SetText with the text
    // the logic last gave and the tail, at the cost of the tail alone.
    virtual void AppendText(int id, const std::string& tail936) { SetText(id, GetText(id) + tail936); }
    // -1 when no entry is selected.
    virtual int GetSel(int id) const = 0;
    // An index outside the list's entries (-1 too) leaves no entry selected.
    virtual void SetSel(int id, int index) = 0;
    virtual void Enable(int id, bool enabled) = 0;

    // Report-view lists: typed rows, each shown as the cells DeviceRowCells
    // renders. A row past the end is appended. A cell's text can change
    // later without touching the row's values.
    virtual void ClearRows(int id) = 0;
    virtual void InsertDeviceRow(int id, int row, const DeviceRow& device) = 0;
    virtual void SetCell(int id, int row, int column, const std::string& text936) = 0;
    virtual int FirstSelectedRow(int id) const = 0; // -1 when none
    virtual std::string GetCell(int id, int row, int column) const = 0;
    // Nothing for a row the list does not hold.
    virtual std::optional<DeviceRow> DeviceRowAt(int id, int row) const = 0;
    // Draws the row as the chosen one, and no other (-1: none); the mark
    // stays with the row as rows are inserted above it.
    virtual void MarkRow(int id, int row) = 0;

    // A modal box owned by this dialog with an OK button; an empty caption
    // stands for the application's name.
    virtual void MessageBox(const std::string& text936, const std::string& caption936 = {},
                            MessageIcon icon = MessageIcon::None) = 0;
    // A modal question with OK and Cancel, Cancel the default: true for OK.
    virtual bool AskOkCancel(const std::string& text936, const std::string& caption936) = 0;
};

} // namespace vornik
