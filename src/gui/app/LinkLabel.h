#pragma once

#include <QLabel>

namespace tessaro {

// A label that acts on a click, shown with the hand cursor.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace tessaro
