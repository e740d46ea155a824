#pragma once

// How the shell facets that accept one point compete for it, offered in candidate order
// (ascending element position). A facet replaces the one held only when nearer by more than
// rounding noise, so of two facets at the same distance the first keeps the point. In the relaxed
// pass a facet that was inside in the strict pass (a listed facet) outranks the rest: until one
// is accepted, every accepted facet replaces the one held whatever its distance; after, only
// listed facets are tested, and they compete by distance. The point search plays this rule, and
// so does a decision that merges the facets several parts of a mesh accepted, in element order,
// so that both pick the same facet. A plain value.
struct ZORFacetRace {
  // A facet replaces the held one when nearer than this fraction of its distance.
  static constexpr double kCloserFactor = 0.9999999;
  // The race starts this many mean element lengths away, beyond any normal reach.
  static constexpr double kFarAway = 1000.0;

  double best;         // |projection| of the held facet
  bool tight = false;  // a listed facet was accepted in the relaxed pass

  static ZORFacetRace Start(double meanLength) { return ZORFacetRace{kFarAway * meanLength}; }
  // Whether pass `pass` (0 strict, 1 relaxed) passes over the facet without testing it.
  bool Skips(int pass, bool listed) const { return pass == 1 && !listed && tight; }
  // Offers a facet that accepted the point at `distance` from its plane; returns whether it is
  // held now.
  bool Offer(int pass, bool listed, double distance) {
    const bool tightListed = listed && tight;
    if (!(distance < best * kCloserFactor || (pass == 1 && !tightListed))) return false;
    if (pass == 1 && listed) tight = true;
    best = distance;
    return true;
  }
};
