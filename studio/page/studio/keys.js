// The keyboard's shortcuts: Ctrl+Z, Ctrl+Y (or Ctrl+Shift+Z), Ctrl+S and Ctrl+O; P, B, R and F for
// the tools, X to swap what is painted, 0 to fit, + and - to zoom, Space held to pan. In one
// table-like place so that every shortcut the buttons' titles promise can be checked here.
'use strict';

const StudioKeys = (() => {
  const kTools = {p: 'path', b: 'brush', r: 'rectangle', f: 'fill'};

  function attach() {
    window.addEventListener('keydown', pressed);
    window.addEventListener('keyup', (event) => {
      if (event.key === ' ') StudioPointer.holdPan(false);
    });
  }

  // Keys typed into the name field or a list are theirs; sliders and boxes leave them to the map.
  function typing(event) {
    return (event.target instanceof HTMLInputElement && ['text', 'search', 'number'].includes(event.target.type)) || event.target instanceof HTMLSelectElement;
  }

  function pressed(event) {
    if (typing(event)) return;
    const key = event.key.toLowerCase();
    const control = event.ctrlKey || event.metaKey;
    const handled = control ? withControl(key, event.shiftKey) : alone(key);
    if (handled) event.preventDefault();
  }

  function withControl(key, shift) {
    if (key === 'z' && !shift) {
      StudioEdits.undo();
    } else if (key === 'y' || (key === 'z' && shift)) {
      StudioEdits.redo();
    } else if (key === 's') {
      StudioFiles.save();
    } else if (key === 'o') {
      StudioFiles.pick();
    } else {
      return false;
    }
    return true;
  }

  function alone(key) {
    if (key === ' ') {
      StudioPointer.holdPan(true);
    } else if (Object.hasOwn(kTools, key)) {
      StudioTools.choose(kTools[key]);
    } else if (key === 'x') {
      StudioTools.setBlocking(!StudioTools.isBlocking());
    } else if (key === '0') {
      StudioView.fit();
    } else if (key === '+' || key === '=' || key === '-') {
      StudioView.zoomMiddle(key === '-' ? 1 / 1.5 : 1.5);
    } else {
      return false;
    }
    return true;
  }

  return {attach};
})();
