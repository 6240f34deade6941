// Lists of many entries in the side panel, a page at a time: an unreachable place in a hundred
// thousand is listed on its page, never left out, and the panel holds a page of buttons, not a
// hundred thousand. Each entry is a button that picks it; the entry chosen is marked, and shown
// by turning to its page.
'use strict';

const StudioLists = (() => {
  const W = VarnholtWords;
  const kPerPage = 20;

  // A list in the elements List (an ol) and Pager: Text(k) the words of entry k, Pick(k) what a
  // click on it does, Swatch(k) a colour [r, g, b] shown before it, if any.
  function paged({list, pager, text, pick, swatch = null}) {
    let total = 0, page = 0, chosen = -1;

    function render() {
      const first = page * kPerPage, last = Math.min(total, first + kPerPage);
      list.start = first + 1;
      list.replaceChildren();
      for (let k = first; k < last; ++k) {
        const entry = document.createElement('li');
        const button = document.createElement('button');
        if (swatch) {
          const [r, g, b] = swatch(k);
          const mark = document.createElement('span');
          mark.className = 'swatch';
          mark.style.background = `rgb(${r}, ${g}, ${b})`;
          button.append(mark);
        }
        button.append(text(k));
        button.addEventListener('click', () => pick(k));
        entry.append(button);
        entry.classList.toggle('chosen', k === chosen);
        list.append(entry);
      }
      renderPager(first, last);
    }

    function renderPager(first, last) {
      pager.replaceChildren();
      if (total <= kPerPage) return;
      const step = (label, title, to) => {
        const button = document.createElement('button');
        button.textContent = label;
        button.title = title;
        button.disabled = to < 0 || to * kPerPage >= total;
        button.addEventListener('click', () => turnTo(to));
        return button;
      };
      const where = document.createElement('span');
      where.textContent = W.rangeText(first, last, total);
      pager.append(step('◀', 'The page before', page - 1), where, step('▶', 'The page after', page + 1));
    }

    function turnTo(next) {
      page = Math.max(0, Math.min(next, Math.ceil(total / kPerPage) - 1));
      render();
    }

    // Entries 0 ... Total - 1, the page shown kept where it still exists.
    function show(count) {
      total = count;
      if (chosen >= total) chosen = -1;
      turnTo(page);
    }

    // Entry K chosen (-1 none), its page shown.
    function choose(k) {
      chosen = k;
      if (k >= 0) page = Math.floor(k / kPerPage);
      render();
    }

    return {show, choose};
  }

  return {paged};
})();
