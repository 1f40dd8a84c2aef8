// Quillmere's eyes inside KWin: reports the stacking order front to back, the active window's
// owner and the current desktop to Quillmere whenever one of them may have changed, and
// carries Quillmere's global shortcut. Quillmere fills in where to report to.
var service = '@SERVICE@';
var path = '@PATH@';
var iface = '@INTERFACE@';

function shown(window) {
  return !window.minimized && !window.hidden && !window.deleted &&
      (window.onAllDesktops || window.desktop === workspace.currentDesktop);
}

function describe() {
  var all = workspace.clientList();
  var windows = [];
  for (var i = 0; i < all.length; ++i) windows.push(all[i]);
  windows.sort(function(a, b) { return b.stackingOrder - a.stackingOrder; });
  var records = [];
  for (var j = 0; j < windows.length; ++j) {
    var window = windows[j];
    records.push({
      id: String(window.internalId),
      pid: window.pid,
      layer: window.layer,
      opacity: window.opacity,
      keepAbove: window.keepAbove,
      shown: shown(window)
    });
  }
  var active = workspace.activeClient;
  return {windows: records, active: active ? active.pid : -1, desktop: workspace.currentDesktop};
}

// One report for everything that changes within one pass of KWin's event loop.
var pending = new QTimer();
pending.singleShot = true;
pending.interval = 0;
pending.timeout.connect(
    function() { callDBus(service, path, iface, 'report', JSON.stringify(describe())); });
function schedule() {
  if (!pending.active) pending.start();
}

function watch(window) {
  var signals = [
    window.stackingOrderChanged, window.opacityChanged, window.keepAboveChanged,
    window.keepBelowChanged, window.fullScreenChanged, window.minimizedChanged, window.windowShown,
    window.windowHidden, window.desktopChanged
  ];
  for (var i = 0; i < signals.length; ++i) {
    if (signals[i]) signals[i].connect(schedule);
  }
}

var existing = workspace.clientList();
for (var i = 0; i < existing.length; ++i) watch(existing[i]);
workspace.clientAdded.connect(function(window) {
  watch(window);
  schedule();
});
workspace.clientRemoved.connect(schedule);
workspace.clientActivated.connect(schedule);
workspace.currentDesktopChanged.connect(schedule);

registerShortcut(
    'Toggle Quillmere', 'Toggle Quillmere', 'Meta+B',
    function() { callDBus(service, path, iface, 'shortcut'); });
schedule();
