#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/CommonTypes.h"
#include "model/OwningList.h"
#include "platform/Object.h"

// Positions are WGS84 degrees (north and east positive), altitudes metres, depths
// (HBdepth) centimetres positive downwards, times day counts since 30 December 1899
// with the time of day as fraction, 0 meaning no time.

double MaxDouble(double A, double B);
double MinDouble(double A, double B);

// One geographic position with altitude, depth and time.
class TPoint4D2 : public TObject {
public:
  TPoint4D2() = default;
  const char* ClassName() const override { return "TPoint4D2"; }

  // Position, altitude, depth and time; Level and enabled of this point stay.
  void CopyFrom(const TPoint4D2& Point4D);

  // Great-circle distance in metres on a sphere of 6378137 m from this point to
  // (lon, lat) -- longitude first. Almostnul widens the test that maps nearly
  // coincident points to 0; it never changes a non-zero result.
  double WGS84Distance(double lon, double lat, bool Almostnul = false) const;
  double WGS84Distance(const TPoint4D2& Point4D, bool Almostnul = false) const;

  // Strictly inside: a point on an edge is outside. Either order of the edges.
  bool IsInBox(double E, double O, double S, double N) const;

  // Readouts, '.' as decimal separator whatever the locale.
  std::string LatitudeStr() const;     // "12.500000° S"
  std::string LongitudeStr() const;    // "8.250000° E"
  std::string LatitudeOZStr() const;   // "47,30.00000,N"
  std::string LongitudeOZStr() const;  // "0,15.00000,W"
  std::string Lat() const;             // "-12.500000"
  std::string Lon() const;             // "8.250000"
  std::string AltitudeStr() const;     // "-3.0 m"
  // Empty without a time; otherwise "yyyy-mm-dd hh:nn:ss", the time left out at
  // exactly midnight (to the millisecond).
  std::string DateTimeStr() const;
  std::string Coord() const;           // LatitudeStr ", " LongitudeStr

  double Latitude = 0;
  double Longitude = 0;
  double Altitude = 0;
  double HBdepth = 0;
  TDateTime DateTime = 0;
  std::uint8_t Level = 0;  // nothing in the system reads it; never copied
  bool enabled = true;     // takes part in bounding boxes

protected:
  // Every field; CopyFrom keeps Level and enabled. Protected, so that no copy
  // slices a waypoint into a plain point.
  TPoint4D2(const TPoint4D2&) = default;
  TPoint4D2& operator=(const TPoint4D2&) = default;
};

// A latitude/longitude box that also carries the map view's scale factors.
// Boxes filled by the operations here have N >= S and E >= O.
class TBBox : public TObject {
public:
  TBBox() = default;
  const char* ClassName() const override { return "TBBox"; }

  // Edges and Rx, Ry to 0, Complete False; Rm stays.
  void Clear();
  // The seven numbers; Complete of this box stays.
  void Copy(const TBBox& BBox);
  // Union. A box that is not Complete takes the other's numbers. Complete turns
  // True once all four edges are non-zero, never back to False.
  void Add(const TBBox& BBox);
  // A new point at the middle of the box.
  std::unique_ptr<TPoint4D2> GetCenter() const;

  double N = 0;
  double S = 0;
  double E = 0;
  double O = 0;   // western edge
  double Rm = 0;  // pixels per degree of latitude of the view that drew it
  double Rx = 0;  // fitted horizontal scale, pixels per degree of longitude
  double Ry = 0;  // fitted vertical scale, pixels per degree of latitude
  bool Complete = false;

protected:
  // Every field; Copy keeps Complete.
  TBBox(const TBBox&) = default;
  TBBox& operator=(const TBBox&) = default;
};

// The ordered list of points that every waypoint list, route and track segment
// is built on. It owns its points and keeps the box of its enabled points.
// Typed, checked access: GetPoint(i); Count(); `for (TPoint4D2& p : list)`.
class TPointList2 : public TOwningList<TPoint4D2> {
public:
  TPointList2() = default;
  const char* ClassName() const override { return "TPointList2"; }

  TPoint4D2* GetPoint(int Index) const { return Items(Index); }
  // Frees the point at Index and stores Point there.
  void SetPoint(int Index, std::unique_ptr<TPoint4D2> Point) { SetItem(Index, std::move(Point)); }

  bool Enabled() const { return penabled; }
  // Passes the value down to every point held now.
  void SetEnabled(bool value);

  void ClearPointList() { FreeAll(); }

  // Box of the enabled points with indices pFrom to pTo, both included. A list of
  // fewer than 2 points gets no box. With Reset the box starts at the first
  // enabled point of the range; without, it grows from the stored edges.
  void CalcBBox(bool Reset);
  void CalcBBoxFromTo(int pFrom, int pTo, bool Reset);
  void CopyBBoxFrom(const TBBox& box) { BBox.Copy(box); }

  // Nearest / farthest point to (lon, lat); disabled points take part; ties keep
  // the earlier point. nullptr (index -1) when there is no such point: an empty
  // list, or for the farthest one when every point lies at distance 0.
  int FindClosestIndex(double lon, double lat) const;
  TPoint4D2* FindClosestPoint(double lon, double lat) const;
  TPoint4D2* FindFurtherPoint(double lon, double lat) const;

  // km/h on the leg that ends at point; -1.0 when there is none or no time.
  double GetSpeedOf(const TPoint4D2* point) const;

  void SortByDate();

  TBBox BBox;           // extent of the enabled points as last computed
  bool filled = false;  // the list has received data from a file

private:
  bool penabled = false;
};

int ComparePointsByDate(const TPoint4D2& Item1, const TPoint4D2& Item2);
