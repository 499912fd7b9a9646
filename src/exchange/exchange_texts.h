#pragma once
// Texts of the exchange with the gauge: the progress dialog's titles and status labels, its
// Cancel button and the messages of a failed exchange.

#include "base/texts.h"
#include "link/link_types.h"

namespace quilex::exchange_texts {

extern const TextPair ConnectionTitle; // title, mode 0
extern const TextPair VersionReadTitle; // title, mode 1
extern const TextPair ParametersReadTitle; // title, mode 2
extern const TextPair DataReadTitle; // title, modes 3, 4, 6
extern const TextPair ArchiveReadLabel; // label, mode 3
extern const TextPair MaterialsReadLabel; // label, mode 4
extern const TextPair MaterialsWriteLabel; // label, mode 5
extern const TextPair SoundSpeedReadLabel; // label, mode 6
extern const TextPair SoundSpeedWriteLabel; // label, mode 7 (display)
extern const TextPair ReadyLabel; // label, modes 7 and 10 (end)
extern const TextPair CheckConnectionLabel; // label, LinkStatus 2
extern const TextPair LinkErrorLabel; // label, LinkStatus 3
extern const TextPair NoDataLabel; // label, LinkStatus 4
extern const TextPair CancelButton; // Cancel button
extern const TextPair ErrorCaption; // message box caption
extern const TextPair CrcErrorMessage; // message, failed block check
extern const TextPair OutOfMemoryMessage; // message, out of memory
// Message when the link fails after the gauge has taken the write command: part of the table
// may have reached it.
extern const TextPair MaterialWriteIncompleteMessage;

// Why no gauge was reached, told after an exchange that never reached it: the driver's side
// (%1 its device folder, or the device), then libusb's (%1 the library or the device, %2 the
// system's reason).
extern const TextPair GaugeNotReachedMessage; // the first line
extern const TextPair DriverFolderMissingReason;
extern const TextPair DriverNoDevicesReason;
extern const TextPair DriverSilentReason;
extern const TextPair NoLibUsbReason;
extern const TextPair NotOnBusReason;
extern const TextPair NoPermissionReason;
extern const TextPair BusyReason;

// Message when a speed cell of the material grid is not a whole number; %1 is the row, 1..13.
extern const TextPair BadSoundSpeedMessage;

// The dialog's title for an exchange mode, or nullptr where the mode leaves the title as it is.
const TextPair* modeTitle(int mode);
// The status label for an exchange mode, or nullptr where the mode leaves the label as it is.
// Mode 10 ends with "Ready" (it also hides the gauge bar); mode 7 first shows its own text.
const TextPair* modeLabel(int mode);
// The status label for a link status, or nullptr for Ok (no text of its own).
const TextPair* linkStatusLabel(LinkStatus status);

} // namespace quilex::exchange_texts
