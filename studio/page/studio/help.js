// The help: every key the studio answers to (StudioKeys' own table) and what the mouse does, in a
// dialog that ? or F1 opens and Escape closes.
'use strict';

const StudioHelp = (() => {
  const $ = (id) => document.getElementById(id);
  const kMouse = [
    ['Wheel', 'Zoom about the pointer'],
    ['Drag', 'With the middle or right button, with Space held, or with Path or Inspect: pan'],
    ['Click', 'With the tool chosen: a path\'s ends, the ground to look at, a dab, a fill'],
    ['Minimap', 'Click or drag: the view goes there'],
    ['Drop files', 'A level-0 map, with its info and waypoint maps if you like, opens'],
  ];

  function attach() {
    $('help-button').addEventListener('click', open);
    const groups = new Map();
    for (const [group, keys, text] of [...StudioKeys.table(), ...kMouse.map(([what, text]) => ['Mouse', what, text])]) {
      if (!groups.has(group)) groups.set(group, []);
      groups.get(group).push([keys, text]);
    }
    const shown = $('help-keys');
    for (const [group, lines] of groups) {
      const block = document.createElement('section');
      const heading = document.createElement('h3');
      heading.textContent = group;
      const list = document.createElement('dl');
      for (const [keys, text] of lines) {
        const term = document.createElement('dt');
        for (const key of keys.split(' ')) {
          const shownKey = document.createElement('kbd');
          shownKey.textContent = key;
          term.append(shownKey, ' ');
        }
        const meaning = document.createElement('dd');
        meaning.textContent = text;
        list.append(term, meaning);
      }
      block.append(heading, list);
      shown.append(block);
    }
  }

  function open() {
    if (!$('help').open) $('help').showModal();
  }

  return {attach, open};
})();
