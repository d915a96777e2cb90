#include "ui/toolkit/tab_order.h"

#include <QWidget>

#include <algorithm>
#include <vector>

namespace rm::ui {

namespace {

bool TakesTab(const QWidget* w) { return (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy(); }

} // namespace

void OrderTabsByLayout(QWidget* window)
{
    if (!window)
        return;
    struct Place {
        QWidget* widget;
        QRect rect;
    };
    std::vector<Place> places;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isWindow() || !TakesTab(w))
            continue;
        bool insideControl = false;
        for (QWidget* up = w->parentWidget(); up && up != window; up = up->parentWidget())
            insideControl = insideControl || up->isWindow() || TakesTab(up);
        if (!insideControl)
            places.push_back({w, QRect(w->mapTo(window, QPoint(0, 0)), w->size())});
    }
    std::stable_sort(places.begin(), places.end(),
                     [](const Place& a, const Place& b) { return a.rect.top() < b.rect.top(); });
    // A row: the controls whose middle lies within the height of the row's first control.
    std::vector<Place> ordered;
    for (size_t i = 0; i < places.size();) {
        const QRect first = places[i].rect;
        size_t j = i + 1;
        while (j < places.size() && places[j].rect.center().y() <= first.bottom())
            ++j;
        std::vector<Place> row(places.begin() + long(i), places.begin() + long(j));
        std::stable_sort(row.begin(), row.end(),
                         [](const Place& a, const Place& b) { return a.rect.left() < b.rect.left(); });
        ordered.insert(ordered.end(), row.begin(), row.end());
        i = j;
    }
    for (size_t i = 0; i + 1 < ordered.size(); ++i)
        QWidget::setTabOrder(ordered[i].widget, ordered[i + 1].widget);
}

} // namespace rm::ui
