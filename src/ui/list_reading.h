#pragma once

#include <QObject>
#include <QPointer>

#include "data/dataset.h"

class QLabel;
class QTimer;

// Reads the rest of a long list into its grid while the user works with
// the rows already shown: one part per turn of the event loop, each sized
// to take about a tenth of a second, so scrolling and clicking stay quick
// at any distance from the server. A line under the grid tells how far the
// reading got, or that the list stayed incomplete and how to read it again.
class ListReading : public QObject {
    Q_OBJECT
public:
    ListReading(QLabel* line, QObject* parent = nullptr);

    // Follows the reads of `dataset` (none: stops).
    void follow(Dataset* dataset);
    bool isReading() const;
    // Reads every row still to come now, for what needs the whole list (an
    // export): the pointer says to wait and the line keeps moving. Throws
    // when reading fails, or stopped short before.
    void finish();
    // Rows asked for by the next part.
    int partRows() const { return m_partRows; }

    static constexpr int kFirstPartRows = 1000;
    static constexpr int kLeastPartRows = 200;
    static constexpr int kMostPartRows = 20000;
    static constexpr int kPartMilliseconds = 100;
    // How often to look whether the server has finished a statement.
    static constexpr int kWaitMilliseconds = 20;

private:
    void restart();
    void step();
    void showProgress();
    // The last part came, or reading stopped short (said on the line).
    void showEnd();

    QPointer<Dataset> m_dataset;
    QLabel* m_line;
    QTimer* m_timer;
    int m_partRows = kFirstPartRows;
};
