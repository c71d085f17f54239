#pragma once
// Route finding over the map's tile grid, one cost grid per unit type.
//
// A search is an A* over the 8-connected grid with integer costs, followed by a
// walk back along the cost field from the goal and a line-of-sight pass that drops
// the intermediate tiles a unit can skip. Routes are fully determined by the grid:
// the heap's tie order, the absence of a closed set and the trace rules all shape
// them, so none of these may change without changing where units walk.
//
// Two cases that would otherwise flood every reachable tile are answered without
// the flood, giving the same route:
//  - a goal in another connected region than the start: the route is [goal, goal];
//  - a blocked goal: its route follows exact shortest distances, which a bounded,
//    goal-directed search settles only as far as the walk back needs them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A tile position: column x, row y.
struct TWayPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TWayPoint&, const TWayPoint&) = default;
};

// A route, start first and goal last.
using TWay = std::vector<TWayPoint>;

// A heap entry. F and G are 64-bit so that very large maps cannot wrap them.
struct TNode {
    int64_t F = 0;  // cost so far plus estimate
    int64_t G = 0;  // cost so far
    int32_t X = 0;
    int32_t Y = 0;
    int32_t CostIndex = 0;  // y * Width + x
    int32_t DistIndex = 0;  // y * Width + x
};

// Binary min-heap on F with a fixed tie order, which routes depend on: a pushed
// node rises above a parent of equal F, and a sinking node prefers the right child
// unless the left one is strictly smaller. Any entry with an F field will do.
template <class Node>
class TBinaryHeap {
public:
    void Clear() { Items.clear(); }
    bool Empty() const { return Items.empty(); }
    size_t Size() const { return Items.size(); }
    const Node& Top() const { return Items.front(); }

    // Both directions move a hole rather than swapping, which gives the same order.
    void Push(const Node& node) {
        size_t i = Items.size();
        Items.push_back(node);
        Node* items = Items.data();
        while (i > 0) {
            const size_t parent = (i - 1) / 2;
            if (items[parent].F < node.F)
                break;
            items[i] = items[parent];
            i = parent;
        }
        items[i] = node;
    }

    // The heap must not be empty. The hole left by the root runs down the path of the
    // children a sinking node would pick to the bottom, and the last node rises back
    // from there past every entry whose F is not below its own: that is where
    // sinking it from the root would have stopped, with one comparison fewer a level.
    Node Pop() {
        const Node top = Items.front();
        const Node moved = Items.back();
        Items.pop_back();
        const size_t count = Items.size();
        if (count == 0)
            return top;
        Node* items = Items.data();
        size_t i = 0;
        for (;;) {
            const size_t left = 2 * i + 1;
            if (left >= count)
                break;
            size_t child = left;
            if (left + 1 < count && !(items[left].F < items[left + 1].F))
                child = left + 1;
            items[i] = items[child];
            i = child;
        }
        while (i > 0) {
            const size_t parent = (i - 1) / 2;
            if (items[parent].F < moved.F)
                break;
            items[i] = items[parent];
            i = parent;
        }
        items[i] = moved;
        return top;
    }

private:
    std::vector<Node> Items;
};

using THeap = TBinaryHeap<TNode>;

class TPathFinder {
public:
    static constexpr int32_t MaxCost = 2147483647;  // a blocked cell

    // passGrid is the unit type 0 grid: width * height bytes, index y * width + x;
    // 255 is blocked, any other value v costs 200 + 3v to enter.
    // Throws std::invalid_argument on a negative size, a size too large to index,
    // or a grid of the wrong length.
    TPathFinder(int32_t width, std::span<const uint8_t> passGrid, int32_t height);

    // Appends the grid of the next unit type (same layout and checks as above).
    void AddGrid(std::span<const uint8_t> passGrid);

    // The route from start to goal for a unit type: start first, goal last, at least
    // two points. Empty when start or goal lies outside the grid or the unit type has
    // no grid. A goal that cannot be reached gives [goal, goal] when nothing near it is
    // reachable, and a route ending in the goal when it is blocked but touches tiles the
    // unit can reach (the unit decides what to do with a blocked last tile).
    TWay FindPath(TWayPoint start, TWayPoint goal, int32_t unitType);

    int32_t GetWidth() const { return Width; }
    int32_t GetHeight() const { return Height; }
    int32_t GetCellCount() const { return CellCount; }
    int32_t GetGridCount() const { return static_cast<int32_t>(CostGrids.size()); }

    // Cost of entering a cell; MaxCost when blocked, outside the grid or of an unknown type.
    int32_t CellCost(int32_t unitType, int32_t x, int32_t y) const;

    // The search's estimate from (x1, y1) to (x2, y2).
    static int64_t Heuristic(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

    // Whether a unit of the type can walk straight from a to b, sampled every 0.2 tiles
    // with a 0.4-tile margin. Outside cells and an unknown type block the view.
    bool LineOfSight(TWayPoint a, TWayPoint b, int32_t unitType) const;

private:
    // The grids carry a border of blocked cells one tile wide, so that no step needs a
    // bounds check: cell (x, y) is at (y + 1) * Stride + x + 1.
    struct TCostGrid {
        std::vector<int32_t> Cost;    // cost of entering each cell, MaxCost if blocked
        std::vector<int32_t> Region;  // connected region of each open cell, -1 if blocked
        // Chebyshev distance to the nearest blocked or outside cell (0 for those), at most
        // 255: every cell nearer than that is open, which lets line of sight skip samples.
        std::vector<uint8_t> Clearance;
    };

    // A search's view of a cell. Mark tells which search wrote it (the search number
    // times four) and, in its two low bits, the flags of the exact search; a cell
    // another search wrote counts as untouched, so nothing is cleared between searches.
    struct TCellState {
        int32_t Dist;
        uint32_t Mark;
    };

    // A heap entry of the search itself, cut down to what it needs.
    struct TOpenNode {
        int64_t F;
        int32_t G;
        int32_t Cell;
    };

    int32_t Width = 0;
    int32_t Height = 0;
    int32_t CellCount = 0;
    int32_t Stride = 0;  // Width + 2
    std::vector<TCostGrid> CostGrids;

    // Scratch storage of one search.
    std::vector<TCellState> State;
    uint32_t SearchMark = 0;
    TBinaryHeap<TOpenNode> Heap;
    TWay Trace;
    int32_t NeighbourOffset[8] = {};
    // Where the samples of a line of sight fall: SampleAt[k] is 0.2 added k times, in
    // float as the walk adds it, far enough for the longest line inside the grid.
    // Empty when the grid is too large for the skip's float margin.
    std::vector<float> SampleAt;

    // Where the current search starts and which regions it can reach.
    int32_t StartIndex = 0;
    int32_t GoalX = 0;
    int32_t GoalY = 0;
    int32_t StartRegions[8] = {};
    int32_t StartRegionCount = 0;

    bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    int32_t CellOf(int32_t x, int32_t y) const { return (y + 1) * Stride + x + 1; }
    TWayPoint PointOf(int32_t cell) const { return {cell % Stride - 1, cell / Stride - 1}; }
    void CheckGrid(std::span<const uint8_t> passGrid) const;
    void BeginSearch();
    int32_t Dist(int32_t cell) const {
        const TCellState& s = State[cell];
        return (s.Mark & ~3u) == SearchMark ? s.Dist : MaxCost;
    }
    void SetDist(int32_t cell, int32_t value);
    uint32_t Flags(int32_t cell) const {
        return (State[cell].Mark & ~3u) == SearchMark ? State[cell].Mark & 3u : 0;
    }
    void SetFlag(int32_t cell, uint32_t flag);
    void CollectStartRegions(const TCostGrid& grid);
    bool Reachable(const TCostGrid& grid, int32_t cell) const;

    void SearchToGoal(const TCostGrid& grid, int32_t goalCell);
    int32_t CheapestNeighbour(int32_t cell) const;

    void BeginExactSearch();
    int64_t ExactEstimate(int32_t cell) const;
    int32_t ExactStep(const TCostGrid& grid);  // the cell it settled, or -1
    int32_t ExactCheapestNeighbour(const TCostGrid& grid, int32_t cell);

    bool LineOfSight(const TCostGrid& grid, TWayPoint a, TWayPoint b) const;
    TWay Smooth(const TCostGrid& grid, const TWay& trace) const;
};
