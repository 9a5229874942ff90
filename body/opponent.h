// The computer opponent's two heading tables, apart from the body so they can
// be checked cell by cell.
#pragma once

// The heading towards a far target by the 45-degree sector of its bearing
// (0 = right, 90 = up on screen). A bearing exactly on a sector boundary
// keeps `heading`.
int aimHeading(double aim, int heading);

// The diagonal push that swings the body towards a target on `side` (-1 or 1)
// of its axis; sdx, sdy place the shoulders relative to the body's centre.
// Side 0, or the shoulders exactly level with the centre on either axis,
// keeps `heading`.
int swingHeading(double sdx, double sdy, int side, int heading);

// Which side of the body's axis a target lies on, from the angle between them
// in degrees: 1 or -1 beyond 20 degrees either way, 0 within them.
int targetSide(double angle);
