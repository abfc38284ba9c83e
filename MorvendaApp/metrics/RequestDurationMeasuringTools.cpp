#include "MorvendaApp/metrics/RequestDurationMeasuringTools.h"

void RequestDurationMeasuringTools::hover(std::optional<double> time, std::optional<double> value)
{
    m_hoverTime = time;
    m_hoverValue = value;
}

void RequestDurationMeasuringTools::hoverEnded()
{
    m_hoverTime.reset();
    m_hoverValue.reset();
}

void RequestDurationMeasuringTools::dragChanged(std::optional<double> start, std::optional<double> end)
{
    m_hoverTime.reset();
    if (start && end)
        m_dragMark = std::pair(*start, *end);
}

bool RequestDurationMeasuringTools::tap()
{
    if (!m_hoverTime)
        return false;
    if (m_kind == Kind::Bar) {
        m_marks.push_back({*m_hoverTime, std::nullopt});
        return true;
    }
    if (!m_hoverValue)
        return false;
    m_marks.push_back({*m_hoverTime, m_hoverValue});
    return true;
}

void RequestDurationMeasuringTools::undoTapMark()
{
    if (!m_marks.empty())
        m_marks.pop_back();
}

void RequestDurationMeasuringTools::undoDragMark()
{
    m_dragMark.reset();
}
