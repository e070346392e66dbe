#pragma once

class QPainter;
struct PreparedReport;

// Draws prepared pages with a QPainter. Pages are laid out in dots of
// 1/1200 inch; the painter is scaled to its device so that every device
// shows the same page to the millimetre.
class ReportPainter {
public:
    // Draws page `index` with the painter's current transform mapping dots
    // to the device (see scaleFor).
    static void paintPage(QPainter& painter, const PreparedReport& report, int index);
    // The factor from dots to a device of `dpi` dots per inch.
    static double scaleFor(double dpi) { return dpi / 1200.0; }
};
