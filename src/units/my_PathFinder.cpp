#include "units/my_PathFinder.h"

#include "world/e_Math.h"

#include <algorithm>
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

constexpr uint8_t FlagSettled = 1;  // exact search: Dist holds the true shortest cost
constexpr uint8_t FlagWalked = 2;   // the trace has passed this cell

constexpr int64_t StepCost(int32_t cellCost, int direction)
{
    return (static_cast<int64_t>(cellCost) * StepMultiplier[direction]) / 65536;
}

}  // namespace

// ---------------------------------------------------------------------------
// THeap
// ---------------------------------------------------------------------------

// Both directions move a hole rather than swapping, which gives the same order.
void THeap::Push(const TNode& node)
{
    size_t i = Items.size();
    Items.push_back(node);
    while (i > 0) {
        const size_t parent = (i - 1) / 2;
        if (Items[parent].F < node.F)
            break;
        Items[i] = Items[parent];
        i = parent;
    }
    Items[i] = node;
}

TNode THeap::Pop()
{
    const TNode top = Items.front();
    const TNode moved = Items.back();
    Items.pop_back();
    const size_t count = Items.size();
    if (count == 0)
        return top;
    size_t i = 0;
    for (;;) {
        const size_t left = 2 * i + 1;
        const size_t right = left + 1;
        if (left >= count)
            break;
        size_t child = left;
        if (right < count && !(Items[left].F < Items[right].F))
            child = right;
        if (moved.F <= Items[child].F)
            break;
        Items[i] = Items[child];
        i = child;
    }
    Items[i] = moved;
    return top;
}

// ---------------------------------------------------------------------------
// Set-up
// ---------------------------------------------------------------------------

TPathFinder::TPathFinder(int32_t width, std::span<const uint8_t> passGrid, int32_t height)
{
    if (width < 0 || height < 0)
        throw std::invalid_argument("path finder: negative grid size " + std::to_string(width) + " x " +
                                    std::to_string(height));
    const int64_t cells = static_cast<int64_t>(width) * height;
    // Indices of neighbours one row past the end must still fit.
    if (cells > MaxCost - 2 * static_cast<int64_t>(width) - 2)
        throw std::invalid_argument("path finder: grid " + std::to_string(width) + " x " + std::to_string(height) +
                                    " is too large");
    Width = width;
    Height = height;
    CellCount = static_cast<int32_t>(cells);
    Dist.assign(static_cast<size_t>(CellCount), MaxCost);
    Flags.assign(static_cast<size_t>(CellCount), 0);
    for (int i = 0; i < 8; ++i)
        NeighbourOffset[i] = Width * NeighbourDY[i] + NeighbourDX[i];
    AddGrid(passGrid);
}

void TPathFinder::CheckGrid(std::span<const uint8_t> passGrid) const
{
    if (passGrid.size() != static_cast<size_t>(CellCount))
        throw std::invalid_argument("path finder: a grid of " + std::to_string(passGrid.size()) +
                                    " cells given for a map of " + std::to_string(Width) + " x " +
                                    std::to_string(Height));
}

void TPathFinder::AddGrid(std::span<const uint8_t> passGrid)
{
    CheckGrid(passGrid);
    TCostGrid grid;
    grid.Cost.resize(static_cast<size_t>(CellCount));
    for (int32_t i = 0; i < CellCount; ++i)
        grid.Cost[i] = passGrid[i] == 255 ? MaxCost : 200 + 3 * static_cast<int32_t>(passGrid[i]);

    // Regions of open cells joined by any of the eight steps (diagonals may pass
    // blocked corners, as the search allows). They tell at once whether a goal
    // can be reached at all.
    grid.Region.assign(static_cast<size_t>(CellCount), -1);
    std::vector<int32_t> stack;
    int32_t region = 0;
    for (int32_t seed = 0; seed < CellCount; ++seed) {
        if (grid.Cost[seed] == MaxCost || grid.Region[seed] >= 0)
            continue;
        grid.Region[seed] = region;
        stack.push_back(seed);
        while (!stack.empty()) {
            const int32_t cell = stack.back();
            stack.pop_back();
            const int32_t x = cell % Width;
            const int32_t y = cell / Width;
            for (int i = 0; i < 8; ++i) {
                if (!Inside(x + NeighbourDX[i], y + NeighbourDY[i]))
                    continue;
                const int32_t n = cell + NeighbourOffset[i];
                if (grid.Cost[n] != MaxCost && grid.Region[n] < 0) {
                    grid.Region[n] = region;
                    stack.push_back(n);
                }
            }
        }
        ++region;
    }
    CostGrids.push_back(std::move(grid));
}

int32_t TPathFinder::CellCost(int32_t unitType, int32_t x, int32_t y) const
{
    if (unitType < 0 || unitType >= GetGridCount() || !Inside(x, y))
        return MaxCost;
    return CostGrids[unitType].Cost[y * Width + x];
}

int64_t TPathFinder::Heuristic(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    const int64_t a = std::abs(static_cast<int64_t>(x1) - x2);
    const int64_t b = std::abs(static_cast<int64_t>(y1) - y2);
    const int64_t h = b < a ? a + (b * 27146) / 65536 : b + (a * 27146) / 65536;
    return h * 200;
}

// ---------------------------------------------------------------------------
// Scratch state
// ---------------------------------------------------------------------------

void TPathFinder::SetDist(int32_t cell, int32_t value)
{
    if (Dist[cell] == MaxCost && Flags[cell] == 0)
        Touched.push_back(cell);
    Dist[cell] = value;
}

void TPathFinder::SetFlag(int32_t cell, uint8_t flag)
{
    if (Dist[cell] == MaxCost && Flags[cell] == 0)
        Touched.push_back(cell);
    Flags[cell] |= flag;
}

// Only the cells a search touched go back to the reset state, so a short search
// stays cheap on a large map.
void TPathFinder::ResetScratch()
{
    for (int32_t cell : Touched) {
        Dist[cell] = MaxCost;
        Flags[cell] = 0;
    }
    Touched.clear();
    Heap.Clear();
}

void TPathFinder::CollectStartRegions(const TCostGrid& grid)
{
    // A blocked start is still left through its open neighbours.
    StartRegionCount = 0;
    const int32_t sx = StartIndex % Width;
    const int32_t sy = StartIndex / Width;
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
        if (Inside(sx + NeighbourDX[i], sy + NeighbourDY[i]))
            add(grid.Region[StartIndex + NeighbourOffset[i]]);
}

bool TPathFinder::Reachable(const TCostGrid& grid, int32_t cell) const
{
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
void TPathFinder::SearchToGoal(const TCostGrid& grid, TWayPoint start, TWayPoint goal)
{
    const int32_t goalIndex = goal.y * Width + goal.x;
    SetDist(StartIndex, 0);
    Heap.Push({Heuristic(start.x, start.y, goal.x, goal.y), 0, start.x, start.y, StartIndex, StartIndex});
    while (!Heap.Empty()) {
        const TNode node = Heap.Pop();
        if (node.G > Dist[node.DistIndex])
            continue;
        for (int i = 0; i < 8; ++i) {
            const int32_t nx = node.X + NeighbourDX[i];
            const int32_t ny = node.Y + NeighbourDY[i];
            if (!Inside(nx, ny))
                continue;
            const int32_t n = node.CostIndex + NeighbourOffset[i];
            const int32_t cost = grid.Cost[n];
            if (cost == MaxCost)
                continue;
            const int64_t g = StepCost(cost, i) + node.G;
            if (g < Dist[n]) {
                SetDist(n, static_cast<int32_t>(g));
                Heap.Push({g + Heuristic(nx, ny, goal.x, goal.y), g, nx, ny, n, n});
            }
            if (n == goalIndex)
                return;
        }
    }
}

int32_t TPathFinder::CheapestNeighbour(int32_t cell) const
{
    const int32_t x = cell % Width;
    const int32_t y = cell / Width;
    int32_t best = MaxCost;
    int32_t choice = -1;
    for (int i = 0; i < 8; ++i) {
        if (!Inside(x + NeighbourDX[i], y + NeighbourDY[i]))
            continue;
        const int32_t n = cell + NeighbourOffset[i];
        if (Dist[n] < best) {
            best = Dist[n];
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

int64_t TPathFinder::ExactEstimate(int32_t x, int32_t y) const
{
    // Octile distance with the cheapest possible steps (200 straight, 282 diagonal):
    // it never overestimates and changes by no more than one step's cost per step.
    const int64_t a = std::abs(static_cast<int64_t>(x) - GoalX);
    const int64_t b = std::abs(static_cast<int64_t>(y) - GoalY);
    return 118 * std::max(a, b) + 82 * (a + b);
}

void TPathFinder::BeginExactSearch(TWayPoint start)
{
    SetDist(StartIndex, 0);
    Heap.Push({ExactEstimate(start.x, start.y), 0, start.x, start.y, StartIndex, StartIndex});
}

int32_t TPathFinder::ExactStep(const TCostGrid& grid)
{
    const TNode node = Heap.Pop();
    if (node.G > Dist[node.DistIndex])
        return -1;
    SetFlag(node.DistIndex, FlagSettled);
    for (int i = 0; i < 8; ++i) {
        const int32_t nx = node.X + NeighbourDX[i];
        const int32_t ny = node.Y + NeighbourDY[i];
        if (!Inside(nx, ny))
            continue;
        const int32_t n = node.CostIndex + NeighbourOffset[i];
        const int32_t cost = grid.Cost[n];
        if (cost == MaxCost)
            continue;
        const int64_t g = StepCost(cost, i) + node.G;
        if (g < Dist[n]) {
            SetDist(n, static_cast<int32_t>(g));
            Heap.Push({g + ExactEstimate(nx, ny), g, nx, ny, n, n});
        }
    }
    return node.DistIndex;
}

int32_t TPathFinder::ExactCheapestNeighbour(const TCostGrid& grid, int32_t cell)
{
    const int32_t x = cell % Width;
    const int32_t y = cell / Width;
    int32_t candidates[8];
    int32_t count = 0;
    for (int i = 0; i < 8; ++i) {
        if (!Inside(x + NeighbourDX[i], y + NeighbourDY[i]))
            continue;
        const int32_t n = cell + NeighbourOffset[i];
        // Cells outside the reachable regions never get a cost; walked ones lost theirs.
        if ((Flags[n] & FlagWalked) == 0 && Reachable(grid, n))
            candidates[count++] = n;
    }
    for (;;) {
        int32_t best = MaxCost;
        int32_t choice = -1;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t n = candidates[k];
            if ((Flags[n] & FlagSettled) != 0 && Dist[n] < best) {
                best = Dist[n];
                choice = n;
            }
        }
        // The heap's smallest F that proves every unsettled candidate dearer than the
        // best settled one. A tie would go to the earlier neighbour, so equal is not enough.
        int64_t needed = -1;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t n = candidates[k];
            if ((Flags[n] & FlagSettled) == 0)
                needed = best == MaxCost ? INT64_MAX
                                         : std::max(needed, best + ExactEstimate(n % Width, n / Width));
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

bool TPathFinder::LineOfSight(TWayPoint a, TWayPoint b, int32_t unitType) const
{
    if (unitType < 0 || unitType >= GetGridCount())
        return false;
    return LineOfSight(CostGrids[unitType], a, b);
}

bool TPathFinder::LineOfSight(const TCostGrid& grid, TWayPoint a, TWayPoint b) const
{
    const TMyVector2f from{static_cast<float>(a.x), static_cast<float>(a.y)};
    const TMyVector2f to{static_cast<float>(b.x), static_cast<float>(b.y)};
    TMyVector2f d = Vec2Sub(to, from);
    const float length = Vec2Length(d);
    Vec2Normalize(d);
    auto open = [&](float px, float py) {
        // Truncation toward zero, as the tile of a position is taken everywhere.
        const int32_t cx = static_cast<int32_t>(px);
        const int32_t cy = static_cast<int32_t>(py);
        return Inside(cx, cy) && grid.Cost[cy * Width + cx] != MaxCost;
    };
    for (float s = 0.0f; s < length; s += 0.2f) {
        const TMyVector2f p = Vec2Add(from, Vec2Scale(d, s));
        if (!open(p.x, p.y) || !open(p.x + 0.4f, p.y + 0.4f) || !open(p.x - 0.4f, p.y + 0.4f) ||
            !open(p.x + 0.4f, p.y - 0.4f) || !open(p.x - 0.4f, p.y - 0.4f))
            return false;
    }
    return true;
}

TWay TPathFinder::Smooth(const TCostGrid& grid, const TWay& trace) const
{
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

TWay TPathFinder::FindPath(TWayPoint start, TWayPoint goal, int32_t unitType)
{
    if (unitType < 0 || unitType >= GetGridCount() || !Inside(start.x, start.y) || !Inside(goal.x, goal.y))
        return {};
    // Start and goal alike: the walk back begins where it ends, whatever the search did.
    if (start == goal)
        return {start, start};

    const TCostGrid& grid = CostGrids[unitType];
    StartIndex = start.y * Width + start.x;
    GoalX = goal.x;
    GoalY = goal.y;
    const int32_t goalIndex = goal.y * Width + goal.x;
    CollectStartRegions(grid);

    const bool goalOpen = grid.Cost[goalIndex] != MaxCost;
    bool reachable = false;
    if (goalOpen) {
        reachable = Reachable(grid, goalIndex);
    } else {
        for (int i = 0; i < 8 && !reachable; ++i)
            if (Inside(goal.x + NeighbourDX[i], goal.y + NeighbourDY[i]))
                reachable = Reachable(grid, goalIndex + NeighbourOffset[i]);
    }
    // Nothing at or next to the goal gets a cost: the trace stops at the goal itself.
    if (!reachable)
        return {goal, goal};

    struct TScratchGuard {
        TPathFinder* Finder;
        ~TScratchGuard() { Finder->ResetScratch(); }
    } guard{this};

    if (goalOpen)
        SearchToGoal(grid, start, goal);
    else
        BeginExactSearch(start);

    TWay trace;
    int32_t cell = goalIndex;
    while (cell != StartIndex) {
        trace.push_back({cell % Width, cell / Width});
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
    trace.push_back({cell % Width, cell / Width});
    return Smooth(grid, trace);
}
