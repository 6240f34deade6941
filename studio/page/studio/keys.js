// The keyboard's shortcuts, in one table that both handles the keys and is the help's list, so
// that the help never tells of a key that does nothing or leaves one out. Keys typed into a text
// field are the field's, but for Ctrl+S, Ctrl+O and Ctrl+G, which the browser would otherwise take
// (offering to save the page), and Enter and Escape, which leave the field for the map.
'use strict';

const StudioKeys = (() => {
  // Each: the keys as the help shows them, what they do, its group, and the action; a key is
  // matched as "Ctrl+Shift+Z" (Ctrl for Ctrl or the Mac's Command), by the key's name.
  const kShortcuts = [
    ['File', 'Ctrl+O', 'Open a map, with its info and waypoint maps if you like', () => StudioFiles.pick()],
    ['File', 'Ctrl+S', 'Save the three maps under the name in the bar', () => StudioFiles.save()],
    ['Tools', 'P', 'Path: click the start, then the goal; drag an end to move it', () => StudioTools.choose('path')],
    ['Tools', 'D', 'Field: click a goal; each cell in view shows its distance to it, and near enough its next step', () => StudioTools.choose('field')],
    ['Tools', 'I', 'Inspect: click ground to see all that is joined to it', () => StudioTools.choose('inspect')],
    ['Tools', 'B', 'Brush', () => StudioTools.choose('brush')],
    ['Tools', 'R', 'Rectangle: drag it out, its size beside it', () => StudioTools.choose('rectangle')],
    ['Tools', 'F', 'Fill every cell joined to the one clicked', () => StudioTools.choose('fill')],
    ['Tools', 'X', 'Swap painting blocked and open cells', () => StudioTools.setBlocking(!StudioTools.isBlocking())],
    ['Tools', '[ ]', 'A smaller or a larger brush', null],
    ['Tools', '[', 'A smaller brush', () => StudioTools.stepBrush(-1), true],
    ['Tools', ']', 'A larger brush', () => StudioTools.stepBrush(1), true],
    ['Edit', 'Ctrl+Z', 'Undo the last stroke', () => StudioEdits.undo()],
    ['Edit', 'Ctrl+Y', 'Redo (or Ctrl+Shift+Z)', () => StudioEdits.redo()],
    ['Edit', 'Ctrl+Shift+Z', 'Redo', () => StudioEdits.redo(), true],
    ['View', '0', 'The whole map', () => StudioView.fit()],
    ['View', '+ −', 'Zoom in or out (or the wheel, about the pointer)', null],
    ['View', '+', 'Zoom in', () => StudioView.zoomMiddle(1.5), true],
    ['View', '=', 'Zoom in', () => StudioView.zoomMiddle(1.5), true],
    ['View', '-', 'Zoom out', () => StudioView.zoomMiddle(1 / 1.5), true],
    ['View', 'Space', 'Held: a drag pans, whatever the tool', () => StudioPointer.holdPan(true)],
    ['View', 'Ctrl+G', 'Go to a cell: type its row and column', () => StudioNavigation.focusBox()],
    ['View', 'M', 'Show or hide the minimap', () => StudioMinimap.toggle()],
    ['Problems', 'N', 'The next split or unreachable place', () => StudioProblems.step(1)],
    ['Problems', 'Shift+N', 'The one before', () => StudioProblems.step(-1)],
    ['Problems', 'Esc', 'Stop looking at the ground shown', () => StudioGround.forget()],
    ['Help', 'L', 'Show or hide the legend', () => StudioLegend.toggle()],
    ['Help', '?', 'This help (or F1)', () => StudioHelp.open()],
    ['Help', 'F1', 'This help', () => StudioHelp.open(), true],
  ];
  const kFieldKeys = new Set(['Ctrl+S', 'Ctrl+O', 'Ctrl+G']);

  function attach() {
    window.addEventListener('keydown', pressed);
    window.addEventListener('keyup', (event) => {
      if (event.key === ' ') StudioPointer.holdPan(false);
    });
  }

  // The shortcuts as the help lists them: [group, keys, what they do], those handled under
  // another's line left out.
  function table() {
    return kShortcuts.filter(([, , , , hidden]) => !hidden).map(([group, keys, text]) => [group, keys, text]);
  }

  // The name of a key pressed as the table writes it: "Ctrl+Shift+Z", "?", "Space". Shift is
  // named only with Ctrl and for letters, as "?" and "+" come with it on most keyboards.
  function nameOf(event) {
    const key = event.key === ' ' ? 'Space' : event.key === 'Escape' ? 'Esc' : event.key.length === 1 ? event.key.toUpperCase() : event.key;
    const control = event.ctrlKey || event.metaKey;
    const shift = event.shiftKey && (control || /^[A-Z]$/.test(key));
    return `${control ? 'Ctrl+' : ''}${shift ? 'Shift+' : ''}${key}`;
  }

  // Keys typed into the name or go-to field, or a list, are theirs; sliders and boxes leave them
  // to the map.
  function typing(event) {
    return (event.target instanceof HTMLInputElement && ['text', 'search', 'number'].includes(event.target.type)) || event.target instanceof HTMLSelectElement;
  }

  function pressed(event) {
    // A dialog's keys are its own while it is open; focus may linger on a closed one's button.
    if (event.target instanceof Element && event.target.closest('dialog[open]')) return;
    const name = nameOf(event);
    // Space and Enter on a button, box or summary work it, as the keyboard's user expects.
    if ((name === 'Space' || name === 'Enter') && event.target instanceof Element && event.target.closest('button, summary, a, input, select')) return;
    if (typing(event)) {
      if (name === 'Enter' || name === 'Esc') event.target.blur();
      if (!kFieldKeys.has(name)) return;
    }
    const shortcut = kShortcuts.find(([, keys, , action]) => action && keys === name);
    if (!shortcut || event.altKey) return;
    event.preventDefault();
    if (event.repeat && name === 'Space') return;
    shortcut[3]();
  }

  return {attach, table};
})();
