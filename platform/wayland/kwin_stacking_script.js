// Run once inside KWin after Quillmere moved its overlays' layer surfaces to the top layer
// (UP true) or back to the bottom one: KWin places them in their new layer, and the frontmost
// application's keep-above windows that then lie below them are raised above them again.
// Quillmere fills in its own pid, the frontmost application's and the direction.
var ownPid = @OWN_PID@;
var frontmostPid = @FRONTMOST_PID@;
var up = @UP@;
var belowLayer = 1;  // KWin's layer of layer-shell's bottom layer
var aboveLayer = 4;  // of layer-shell's top layer, and of keep-above windows

function shown(window) {
  return !window.minimized && !window.deleted &&
      (window.onAllDesktops || window.desktop === workspace.currentDesktop);
}

var all = workspace.clientList();
var leaving = up ? belowLayer : aboveLayer;
var overlaysTop = -1;
for (var i = 0; i < all.length; ++i) {
  var window = all[i];
  // Quillmere's only windows in these layers are its layer surfaces.
  if (window.pid !== ownPid || window.layer !== leaving) continue;
  // WORKAROUND(kwin): KWin 5.27 takes a layer surface's new layer only when it works out the
  // window's layer again, which a change of keep-above makes it do; the value itself means
  // nothing for a layer surface.
  window.keepAbove = !window.keepAbove;
  overlaysTop = Math.max(overlaysTop, window.stackingOrder);
}

// Raising takes an activation in KWin's scripts; the window active before gets it back. Only
// the frontmost application's windows are activated, never Quillmere's.
var active = workspace.activeClient;
if (up && active && active.pid === frontmostPid && frontmostPid !== ownPid) {
  var beneath = [];
  for (var j = 0; j < all.length; ++j) {
    var candidate = all[j];
    if (candidate.pid === frontmostPid && candidate.layer === aboveLayer && shown(candidate) &&
        candidate.stackingOrder < overlaysTop) {
      beneath.push(candidate);
    }
  }
  beneath.sort(function(a, b) { return a.stackingOrder - b.stackingOrder; });
  for (var k = 0; k < beneath.length; ++k) workspace.activeClient = beneath[k];
  if (beneath.length > 0 && workspace.activeClient !== active) workspace.activeClient = active;
}
