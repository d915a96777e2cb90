#pragma once
// TPlayerfrm: the borderless host the preview picture is drawn in. Windows that show a preview
// place it in their play panel.

#include <QWidget>

namespace rm::ui {

class TPlayerfrm : public QWidget {
    Q_OBJECT
public:
    explicit TPlayerfrm(QWidget* parent = nullptr);

    // Makes the panel its parent and fills it; nothing without a panel.
    void PlaceIn(QWidget* panel);
};

} // namespace rm::ui
