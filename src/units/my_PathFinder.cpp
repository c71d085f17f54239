#include "units/my_PathFinder.h"

#include "world/e_Math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

// Neighbour order matters: the search and the trace both take the first of equals.
constexpr int32_t NeighbourDX[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
constexpr int32_t NeighbourDY[8] = {0, 0, -1, 1, -1, 1, 1, -1};
// Step multipliers in 16.16 fixed point: 1 for straight steps, sqrt(2) for diagonal ones.
constexpr int64_t StepMultiplier[8] = {65536, 65536, 65536, 65536, 92682, 92682, 92682, 92682};

constexpr uint32_t FlagSettled = 1;  // exact search: Dist holds the true shortest cost
constexpr uint32_t FlagWalked = 2;   // the trace has passed this cell

constexpr int64_t StepCost(int32_t cellCost, int direction) {
    return (static_cast<int64_t>(cellCost) * StepMultiplier[direction]) / 65536;
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up
// ---------------------------------------------------------------------------

TPathFinder::TPathFinder(int32_t width, std::span<const uint8_t> passGrid, int32_t height) {
    if (width < 0 || height < 0)
        throw std::invalid_argument("path finder: negative grid size " + std::to_string(width) + " x " +
                                    std::to_string(height));
    const int64_t cells = static_cast<int64_t>(width) * height;
    // Every cell of the bordered grid must have a 32-bit index.
    if ((width + int64_t{2}) * (height + int64_t{2}) > MaxCost)
        throw std::invalid_argument("path finder: grid " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is too large");
    Width = width;
    Height = height;
    CellCount = static_cast<int32_t>(cells);
    Stride = Width + 2;
    State.assign(static_cast<size_t>(Stride) * static_cast<size_t>(Height + 2), TCellState{MaxCost, 0});
    for (int i = 0; i < 8; ++i)
        NeighbourOffset[i] = Stride * NeighbourDY[i] + NeighbourDX[i];
    // Below 2^16 a sample's float position is off by less than 0.03 tiles.
    if (Width <= 65536 && Height <= 65536) {
        const float longest =
            std::sqrt(static_cast<float>(Width) * Width + static_cast<float>(Height) * Height) + 1.0f;
        for (float s = 0.0f; s < longest; s += 0.2f)
            SampleAt.push_back(s);
        SampleAt.push_back(SampleAt.back() + 0.2f);
    }
    AddGrid(passGrid);
}

void TPathFinder::CheckGrid(std::span<const uint8_t> passGrid) const {
    if (passGrid.size() != static_cast<size_t>(CellCount))
        throw std::invalid_argument("path finder: a grid of " + std::to_string(passGrid.size()) +
                                    " cells given for a map of " + std::to_string(Width) + " x " +
                                    std::to_string(Height));
}

void TPathFinder::AddGrid(std::span<const uint8_t> passGrid) {
    CheckGrid(passGrid);
    TCostGrid grid;
    const size_t padded = State.size();
    grid.Cost.assign(padded, MaxCost);
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x) {
            const uint8_t pass = passGrid[static_cast<size_t>(y) * Width + x];
            grid.Cost[CellOf(x, y)] = pass == 255 ? MaxCost : 200 + 3 * static_cast<int32_t>(pass);
        }

    // Regions of open cells joined by any of the eight steps (diagonals may pass
    // blocked corners, as the search allows). They tell at once whether a goal
    // can be reached at all.
    grid.Region.assign(padded, -1);
    std::vector<int32_t> stack;
    int32_t region = 0;
    for (int32_t seed = 0; seed < static_cast<int32_t>(padded); ++seed) {
        if (grid.Cost[seed] == MaxCost || grid.Region[seed] >= 0)
            continue;
        grid.Region[seed] = region;
        stack.push_back(seed);
        while (!stack.empty()) {
            const int32_t cell = stack.back();
            stack.pop_back();
            for (int i = 0; i < 8; ++i) {
                const int32_t n = cell + NeighbourOffset[i];
                if (grid.Cost[n] != MaxCost && grid.Region[n] < 0) {
                    grid.Region[n] = region;
                    stack.push_back(n);
                }
            }
        }
        ++region;
    }
    // Two chamfer passes with the eight-neighbour mask give exact Chebyshev distances.
    grid.Clearance.assign(padded, 0);
    uint8_t* clear = grid.Clearance.data();
    auto relax = [&](int32_t cell, int32_t n) {
        clear[cell] = std::min<uint8_t>(clear[cell], static_cast<uint8_t>(std::min(255, clear[n] + 1)));
    };
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x) {
            const int32_t cell = CellOf(x, y);
            if (grid.Cost[cell] == MaxCost)
                continue;
            clear[cell] = 255;
            relax(cell, cell - 1);
            relax(cell, cell - Stride - 1);
            relax(cell, cell - Stride);
            relax(cell, cell - Stride + 1);
        }
    for (int32_t y = Height - 1; y >= 0; --y)
        for (int32_t x = Width - 1; x >= 0; --x) {
            const int32_t cell = CellOf(x, y);
            relax(cell, cell + 1);
            relax(cell, cell + Stride + 1);
            relax(cell, cell + Stride);
            relax(cell, cell + Stride - 1);
        }
    CostGrids.push_back(std::move(grid));
}

int32_t TPathFinder::CellCost(int32_t unitType, int32_t x, int32_t y) const {
    if (unitType < 0 || unitType >= GetGridCount() || !Inside(x, y))
        return MaxCost;
    return CostGrids[unitType].Cost[CellOf(x, y)];
}

int64_t TPathFinder::Heuristic(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int64_t a = std::abs(static_cast<int64_t>(x1) - x2);
    const int64_t b = std::abs(static_cast<int64_t>(y1) - y2);
    const int64_t h = b < a ? a + (b * 27146) / 65536 : b + (a * 27146) / 65536;
    return h * 200;
}

// ---------------------------------------------------------------------------
// Scratch state
// ---------------------------------------------------------------------------

// A new mark makes every cell untouched for the new search; only when the marks run
// out are they cleared for real.
void TPathFinder::BeginSearch() {
    SearchMark += 4;
    if (SearchMark == 0) {
        for (TCellState& s : State)
            s.Mark = 0;
        SearchMark = 4;
    }
    Heap.Clear();
}

void TPathFinder::SetDist(int32_t cell, int32_t value) {
    TCellState& s = State[cell];
    if ((s.Mark & ~3u) != SearchMark)
        s.Mark = SearchMark;
    s.Dist = value;
}

void TPathFinder::SetFlag(int32_t cell, uint32_t flag) {
    TCellState& s = State[cell];
    if ((s.Mark & ~3u) != SearchMark) {
        s.Mark = SearchMark;
        s.Dist = MaxCost;
    }
    s.Mark |= flag;
}

void TPathFinder::CollectStartRegions(const TCostGrid& grid) {
    // A blocked start is still left through its open neighbours.
    StartRegionCount = 0;
    auto add = [&](int32_t region) {
        if (region < 0)
            return;
        for (int32_t i = 0; i < StartRegionCount; ++i)
            if (StartRegions[i] == region)
                return;
        StartRegions[StartRegionCount++] = region;
    };
    add(grid.Region[StartIndex]);
    for (int i = 0; i < 8; ++i)
        add(grid.Region[StartIndex + NeighbourOffset[i]]);
}

bool TPathFinder::Reachable(const TCostGrid& grid, int32_t cell) const {
    if (cell == StartIndex)
        return true;
    const int32_t region = grid.Region[cell];
    if (region < 0)
        return false;
    for (int32_t i = 0; i < StartRegionCount; ++i)
        if (StartRegions[i] == region)
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// Search towards a reachable goal
// ---------------------------------------------------------------------------

// The search stops as soon as the goal turns up as a neighbour, so the costs it
// leaves behind are not shortest costs in general, and the trace follows them as
// they are. A popped node whose cost has since been beaten is not expanded: the
// cheaper node for its cell was popped before it (its F is smaller) and already
// offered every neighbour a lower cost, and it would have met the goal, so the
// expansion could change nothing.
void TPathFinder::SearchToGoal(const TCostGrid& grid, int32_t goalCell) {
    const int32_t* cost = grid.Cost.data();
    TCellState* state = State.data();
    const uint32_t mark = SearchMark;
    const int32_t stride = Stride;
    const int32_t gx = GoalX;
    const int32_t gy = GoalY;
    // The cells of a plain search never carry flags, so its marks compare whole.
    auto dist = [&](int32_t cell) { return state[cell].Mark == mark ? state[cell].Dist : MaxCost; };

    const TWayPoint start = PointOf(StartIndex);
    state[StartIndex] = {0, mark};
    Heap.Push({Heuristic(start.x, start.y, gx, gy), 0, StartIndex});
    while (!Heap.Empty()) {
        const TOpenNode node = Heap.Pop();
        if (node.G > dist(node.Cell))
            continue;
        const int32_t x = node.Cell % stride - 1;
        const int32_t y = node.Cell / stride - 1;
        // One neighbour, in table order; true when it is the goal.
        auto visit = [&](int i) {
            const int32_t n = node.Cell + NeighbourDY[i] * stride + NeighbourDX[i];
            const int32_t c = cost[n];
            if (c != MaxCost) {
                const int64_t g = StepCost(c, i) + node.G;
                if (g < dist(n)) {
                    state[n] = {static_cast<int32_t>(g), mark};
                    Heap.Push({g + Heuristic(x + NeighbourDX[i], y + NeighbourDY[i], gx, gy),
                               static_cast<int32_t>(g), n});
                }
            }
            return n == goalCell;
        };
        if (visit(0) || visit(1) || visit(2) || visit(3) || visit(4) || visit(5) || visit(6) || visit(7))
            return;
    }
}

int32_t TPathFinder::CheapestNeighbour(int32_t cell) const {
    int32_t best = MaxCost;
    int32_t choice = -1;
    for (int i = 0; i < 8; ++i) {
        const int32_t n = cell + NeighbourOffset[i];
        const int32_t d = Dist(n);
        if (d < best) {
            best = d;
            choice = n;
        }
    }
    return choice;
}

// ---------------------------------------------------------------------------
// Exact costs towards a blocked goal
// ---------------------------------------------------------------------------
//
// A blocked goal is never met as a neighbour, so the plain search runs until every
// reachable cell carries its shortest cost, and the trace walks down those costs.
// Here an A* with a consistent estimate settles cells in order of cost plus estimate;
// a settled cell's cost is final, and an unsettled one costs at least the heap's
// smallest F minus its own estimate. The trace asks for neighbours one step at a
// time and the search goes on only until the cheapest of them is certain.

int64_t TPathFinder::ExactEstimate(int32_t cell) const {
    // Octile distance with the cheapest possible steps (200 straight, 282 diagonal):
    // it never overestimates and changes by no more than one step's cost per step.
    const TWayPoint p = PointOf(cell);
    const int64_t a = std::abs(static_cast<int64_t>(p.x) - GoalX);
    const int64_t b = std::abs(static_cast<int64_t>(p.y) - GoalY);
    return 118 * std::max(a, b) + 82 * (a + b);
}

void TPathFinder::BeginExactSearch() {
    SetDist(StartIndex, 0);
    Heap.Push({ExactEstimate(StartIndex), 0, StartIndex});
}

int32_t TPathFinder::ExactStep(const TCostGrid& grid) {
    const TOpenNode node = Heap.Pop();
    if (node.G > Dist(node.Cell))
        return -1;
    SetFlag(node.Cell, FlagSettled);
    for (int i = 0; i < 8; ++i) {
        const int32_t n = node.Cell + NeighbourOffset[i];
        const int32_t cost = grid.Cost[n];
        if (cost == MaxCost)
            continue;
        const int64_t g = StepCost(cost, i) + node.G;
        if (g < Dist(n)) {
            SetDist(n, static_cast<int32_t>(g));
            Heap.Push({g + ExactEstimate(n), static_cast<int32_t>(g), n});
        }
    }
    return node.Cell;
}

int32_t TPathFinder::ExactCheapestNeighbour(const TCostGrid& grid, int32_t cell) {
    int32_t candidates[8];
    int32_t count = 0;
    for (int i = 0; i < 8; ++i) {
        const int32_t n = cell + NeighbourOffset[i];
        // Cells outside the reachable regions never get a cost; walked ones lost theirs.
        if ((Flags(n) & FlagWalked) == 0 && Reachable(grid, n))
            candidates[count++] = n;
    }
    for (;;) {
        int32_t best = MaxCost;
        int32_t choice = -1;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t n = candidates[k];
            if ((Flags(n) & FlagSettled) != 0 && Dist(n) < best) {
                best = Dist(n);
                choice = n;
            }
        }
        // The heap's smallest F that proves every unsettled candidate dearer than the
        // best settled one. A tie would go to the earlier neighbour, so equal is not enough.
        int64_t needed = -1;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t n = candidates[k];
            if ((Flags(n) & FlagSettled) == 0)
                needed = best == MaxCost ? INT64_MAX : std::max(needed, best + ExactEstimate(n));
        }
        if (needed < 0)
            return choice;
        bool changed = false;
        while (!changed) {
            if (Heap.Empty() || Heap.Top().F > needed)
                return choice;
            const int32_t settled = ExactStep(grid);
            for (int32_t k = 0; k < count && settled >= 0; ++k)
                changed = changed || candidates[k] == settled;
        }
    }
}

// ---------------------------------------------------------------------------
// Line of sight and the route
// ---------------------------------------------------------------------------

bool TPathFinder::LineOfSight(TWayPoint a, TWayPoint b, int32_t unitType) const {
    if (unitType < 0 || unitType >= GetGridCount())
        return false;
    return LineOfSight(CostGrids[unitType], a, b);
}

bool TPathFinder::LineOfSight(const TCostGrid& grid, TWayPoint a, TWayPoint b) const {
    const TMyVector2f from{static_cast<float>(a.x), static_cast<float>(a.y)};
    const TMyVector2f to{static_cast<float>(b.x), static_cast<float>(b.y)};
    TMyVector2f d = Vec2Sub(to, from);
    const float length = Vec2Length(d);
    Vec2Normalize(d);
    auto open = [&](float px, float py) {
        // Truncation toward zero, as the tile of a position is taken everywhere.
        const int32_t cx = static_cast<int32_t>(px);
        const int32_t cy = static_cast<int32_t>(py);
        return Inside(cx, cy) && grid.Cost[CellOf(cx, cy)] != MaxCost;
    };
    auto passes = [&](const TMyVector2f& p) {
        return open(p.x, p.y) && open(p.x + 0.4f, p.y + 0.4f) && open(p.x - 0.4f, p.y + 0.4f) &&
               open(p.x + 0.4f, p.y - 0.4f) && open(p.x - 0.4f, p.y - 0.4f);
    };
    // from + d * s, spelled out: this is the search's innermost loop, and the same
    // two float operations per axis as Vec2Add(from, Vec2Scale(d, s)).
    auto along = [&](float s) { return TMyVector2f{from.x + d.x * s, from.y + d.y * s}; };
    if (SampleAt.empty() || length >= SampleAt.back()) {
        for (float s = 0.0f; s < length; s += 0.2f)
            if (!passes(along(s)))
                return false;
        return true;
    }
    // A sample at p (p.x, p.y not negative) in cell c = (N(p.x), N(p.y)) vouches for the
    // samples after it up to t further along the line: theirs lie within t of p on each
    // axis, so the values they truncate lie in (c - 0.4 - t, c + 1.4 + t), and all those
    // cells are open when c's clearance r is at least t + 1.4. Such samples are passed
    // over; t = r - 1.6 leaves 0.2 for the rounding of the float positions, and the
    // steps between samples, 0.2 give or take a rounding, are counted as 0.21.
    size_t k = 0;
    for (float s = 0.0f; s < length; s = SampleAt[k]) {
        const TMyVector2f p = along(s);
        if (!passes(p))
            return false;
        size_t step = 1;
        if (p.x >= 0.0f && p.y >= 0.0f) {
            const int32_t r = grid.Clearance[CellOf(static_cast<int32_t>(p.x), static_cast<int32_t>(p.y))];
            if (r >= 2)
                step += static_cast<size_t>((static_cast<float>(r) - 1.6f) / 0.21f);
        }
        k = std::min(k + step, SampleAt.size() - 1);
    }
    return true;
}

TWay TPathFinder::Smooth(const TCostGrid& grid, const TWay& trace) const {
    // trace runs goal first; the route runs start first and keeps a point only where
    // the view from the last kept point to the point after it is blocked.
    const int32_t last = static_cast<int32_t>(trace.size()) - 1;
    TWay way;
    way.push_back(trace[last]);
    int32_t anchor = last;
    for (int32_t k = last - 1; k >= 1; --k) {
        if (!LineOfSight(grid, trace[anchor], trace[k - 1])) {
            way.push_back(trace[k]);
            anchor = k;
        }
    }
    way.push_back(trace[0]);
    return way;
}

TWay TPathFinder::FindPath(TWayPoint start, TWayPoint goal, int32_t unitType) {
    if (unitType < 0 || unitType >= GetGridCount() || !Inside(start.x, start.y) || !Inside(goal.x, goal.y))
        return {};
    // Start and goal alike: the walk back begins where it ends, whatever the search did.
    if (start == goal)
        return {start, start};

    const TCostGrid& grid = CostGrids[unitType];
    StartIndex = CellOf(start.x, start.y);
    GoalX = goal.x;
    GoalY = goal.y;
    const int32_t goalCell = CellOf(goal.x, goal.y);
    CollectStartRegions(grid);

    const bool goalOpen = grid.Cost[goalCell] != MaxCost;
    bool reachable = false;
    if (goalOpen) {
        reachable = Reachable(grid, goalCell);
    } else {
        for (int i = 0; i < 8 && !reachable; ++i)
            reachable = Reachable(grid, goalCell + NeighbourOffset[i]);
    }
    // Nothing at or next to the goal gets a cost: the trace stops at the goal itself.
    if (!reachable)
        return {goal, goal};

    BeginSearch();
    if (goalOpen)
        SearchToGoal(grid, goalCell);
    else
        BeginExactSearch();

    Trace.clear();
    int32_t cell = goalCell;
    while (cell != StartIndex) {
        Trace.push_back(PointOf(cell));
        const int32_t next = goalOpen ? CheapestNeighbour(cell) : ExactCheapestNeighbour(grid, cell);
        if (next < 0)
            break;
        // Never step back onto a cell already walked.
        if (goalOpen)
            SetDist(cell, MaxCost);
        else
            SetFlag(cell, FlagWalked);
        cell = next;
    }
    Trace.push_back(PointOf(cell));
    return Smooth(grid, Trace);
}
