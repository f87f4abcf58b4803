#pragma once

#include <cstdio>
#include <string>

// One figure of a benchmark as a line that bench/all gathers into its table:
//   figure|NAME|VALUE|FLOOR|RATIO|UNIT|GOAL|VERDICT
// A figure held against a floor has its ratio checked against `goal_ratio`; one with a goal of its
// own (`floor` below 0) gives the goal as text and whether it was met.
inline void PrintFigure(const std::string& name, double value, double floor, const char* unit,
                        double goal_ratio) {
    const double ratio = floor > 0 ? value / floor : 0;
    std::printf("figure|%s|%.3f|%.3f|%.2f|%s|<= %.2f x floor|%s\n", name.c_str(), value, floor,
                ratio, unit, goal_ratio, ratio <= goal_ratio ? "met" : "MISSED");
}

inline void PrintFigure(const std::string& name, double value, const char* unit,
                        const std::string& goal, bool met) {
    std::printf("figure|%s|%.3f|-|-|%s|%s|%s\n", name.c_str(), value, unit, goal.c_str(),
                met ? "met" : "MISSED");
}

// A figure shown for information, with no goal.
inline void PrintFigure(const std::string& name, double value, double floor, const char* unit) {
    if (floor > 0)
        std::printf("figure|%s|%.3f|%.3f|%.2f|%s|-|-\n", name.c_str(), value, floor, value / floor,
                    unit);
    else
        std::printf("figure|%s|%.3f|-|-|%s|-|-\n", name.c_str(), value, unit);
}
