// The pointer state both duration charts share: the hover read-out, the pinned tap marks and the
// drag band, with the rules for changing them. Times are seconds since 1970 as the chart reads
// them; the hover value is the bar chart's row or the line chart's duration. A chart view owns
// one; it starts empty with every new view. Main thread only.
#pragma once

#include <optional>
#include <utility>
#include <vector>

class RequestDurationMeasuringTools
{
public:
    // A bar chart pins the hovered time alone; a line chart pins time and duration together and
    // only when both are known.
    enum class Kind { Bar, Line };

    struct Mark
    {
        double time = 0;
        std::optional<double> value; // the line chart's duration; none on the bar chart
        friend bool operator==(const Mark &, const Mark &) = default;
    };

    explicit RequestDurationMeasuringTools(Kind kind) : m_kind(kind) {}

    Kind kind() const { return m_kind; }
    const std::optional<double> &hoverTime() const { return m_hoverTime; }
    const std::optional<double> &hoverValue() const { return m_hoverValue; }
    const std::vector<Mark> &marks() const { return m_marks; }
    // (start, end); end lies before start after a right-to-left drag.
    const std::optional<std::pair<double, double>> &dragMark() const { return m_dragMark; }

    void hover(std::optional<double> time, std::optional<double> value);
    void hoverEnded();
    // Every change of a drag hides the hover time; a band needs both ends, else the last one stays.
    void dragChanged(std::optional<double> start, std::optional<double> end);
    // A click: pins the hover read-out when there is one. Returns whether a mark was added.
    bool tap();
    void undoTapMark();
    void undoDragMark();

private:
    Kind m_kind;
    std::optional<double> m_hoverTime;
    std::optional<double> m_hoverValue;
    std::vector<Mark> m_marks;
    std::optional<std::pair<double, double>> m_dragMark;
};
