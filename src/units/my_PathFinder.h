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
// unless the left one is strictly smaller.
class THeap {
public:
    void Clear() { Items.clear(); }
    bool Empty() const { return Items.empty(); }
    size_t Size() const { return Items.size(); }
    const TNode& Top() const { return Items.front(); }
    void Push(const TNode& node);
    TNode Pop();  // the heap must not be empty

private:
    std::vector<TNode> Items;
};

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
    struct TCostGrid {
        std::vector<int32_t> Cost;    // cost of entering each cell, MaxCost if blocked
        std::vector<int32_t> Region;  // connected region of each open cell, -1 if blocked
    };

    int32_t Width = 0;
    int32_t Height = 0;
    int32_t CellCount = 0;
    std::vector<TCostGrid> CostGrids;

    // Scratch storage of one search.
    std::vector<int32_t> Dist;    // best known cost from the start, MaxCost if none
    std::vector<uint8_t> Flags;   // settled / walked by the trace (exact search only)
    std::vector<int32_t> Touched; // cells whose Dist or Flags differ from the reset state
    THeap Heap;
    int32_t NeighbourOffset[8] = {};

    // Where the current search starts and which regions it can reach.
    int32_t StartIndex = 0;
    int32_t GoalX = 0;
    int32_t GoalY = 0;
    int32_t StartRegions[8] = {};
    int32_t StartRegionCount = 0;

    bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    void CheckGrid(std::span<const uint8_t> passGrid) const;
    void SetDist(int32_t cell, int32_t value);
    void SetFlag(int32_t cell, uint8_t flag);
    void ResetScratch();
    void CollectStartRegions(const TCostGrid& grid);
    bool Reachable(const TCostGrid& grid, int32_t cell) const;

    void SearchToGoal(const TCostGrid& grid, TWayPoint start, TWayPoint goal);
    int32_t CheapestNeighbour(int32_t cell) const;

    void BeginExactSearch(TWayPoint start);
    int64_t ExactEstimate(int32_t x, int32_t y) const;
    int32_t ExactStep(const TCostGrid& grid);  // the cell it settled, or -1
    int32_t ExactCheapestNeighbour(const TCostGrid& grid, int32_t cell);

    bool LineOfSight(const TCostGrid& grid, TWayPoint a, TWayPoint b) const;
    TWay Smooth(const TCostGrid& grid, const TWay& trace) const;
};
