#pragma once
// Drawing the world's static geometry: the landscape and the map's water surfaces.
// The world keeps the geometry (vertex and index arrays, the culling tree, the
// boxes); the buffer objects are made here from it on the first draw and their
// names stored back in the object, which deletes them through the resource
// device when it goes away. Main thread, GL context current.
//
// Also the OpenGL side of the resources: the device that makes, binds and deletes
// their textures and buffers.

class TGameMap;
class TResourceDevice;
class TLandshaftObject;
class TWaterObject;

// Draws the leaves of the landscape that pass its frustum (all when it has none),
// with the program the caller has bound; uploads the geometry on the first call.
void DrawLandscape(TLandshaftObject& landscape);
// Draws one water surface with the water program and texture bound by the caller.
void DrawWaterSurface(TWaterObject& water);
// Draws the map's water surfaces in view: sets "time" and "mapSize" on the bound
// program and binds "Clouds" on unit 0 first.
void DrawMapWater(TGameMap& map);

// The OpenGL resource device. InitRenderer installs it together with the draw queue and
// ShutdownRenderer takes both away; a test that makes a context of its own installs
// the device itself (SetResourceDevice).
TResourceDevice& GLResourceDevice();
