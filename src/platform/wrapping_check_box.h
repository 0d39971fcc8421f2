#pragma once

#include <QCheckBox>

namespace periodix {

// A check box whose caption wraps onto further lines within its width.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

} // namespace periodix
