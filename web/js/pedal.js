// The pedal, as the plug-in draws it: the plug-in's pictures at 630 x 801 CSS pixels, four knobs
// drawn from the film strip, the footswitch that takes clicks only on its opaque body, the lamp,
// and the two link buttons; with keyboard and screen-reader access.

import { KNOBS, frameFor, fromProportion, settleKnob, toProportion, valueText } from './params.js';

const STRIP_FRAMES = 100;
const DRAG_PIXELS = 250; // the whole range, as the plug-in's knobs (the framework's default)
const FOOTSWITCH_ALPHA = 230; // 0.9 of 255, as the plug-in's image button rounds it

export const LINKS = {
  share: 'https://www.example.com/pages/pelorvane-share-plugin',
  board: 'https://www.example.com/pages/add-pelorvane-to-your-board',
};

function loadImage(src) {
  return new Promise((resolve, reject) => {
    const image = new Image();
    image.onload = () => resolve(image);
    image.onerror = () => reject(new Error(`${src} could not be loaded`));
    image.src = src;
  });
}

function alphaOf(image) {
  const canvas = document.createElement('canvas');
  canvas.width = image.naturalWidth;
  canvas.height = image.naturalHeight;
  const g = canvas.getContext('2d', { willReadFrequently: true });
  g.drawImage(image, 0, 0);
  const rgba = g.getImageData(0, 0, canvas.width, canvas.height).data;
  const alpha = new Uint8Array(canvas.width * canvas.height);
  for (let i = 0; i < alpha.length; ++i) alpha[i] = rgba[i * 4 + 3];
  return { alpha, width: canvas.width, height: canvas.height };
}

class Knob {
  constructor(pedal, knob, strip) {
    this.pedal = pedal;
    this.knob = knob;
    this.strip = strip;
    this.value = knob.defaultValue;
    this.frame = -1;

    const [x, y, w, h] = knob.bounds;
    const element = document.createElement('div');
    element.className = 'knob';
    element.id = `knob-${knob.id}`;
    Object.assign(element.style, { left: `${x}px`, top: `${y}px`, width: `${w}px`, height: `${h}px` });
    element.tabIndex = 0;
    element.setAttribute('role', 'slider');
    element.setAttribute('aria-label', knob.name);
    element.setAttribute('aria-valuemin', '0');
    element.setAttribute('aria-valuemax', String(knob.max));
    element.setAttribute('aria-orientation', 'vertical');
    element.dataset.knob = knob.id;

    // The pointer frame: a quarter of the strip's frame size at the knob's top-left corner,
    // reaching past its 90 x 90 bounds.
    this.frameSize = Math.floor(strip.naturalWidth / 4);
    const canvas = document.createElement('canvas');
    canvas.className = 'knob-frame';
    canvas.style.width = `${this.frameSize}px`;
    canvas.style.height = `${this.frameSize}px`;
    canvas.setAttribute('aria-hidden', 'true');
    this.canvas = canvas;

    const box = document.createElement('div');
    box.className = 'value-box';
    box.setAttribute('aria-hidden', 'true');
    box.hidden = true;
    this.box = box;

    element.append(canvas, box);
    this.element = element;

    element.addEventListener('pointerdown', (e) => this.pointerDown(e));
    element.addEventListener('pointermove', (e) => this.pointerMove(e));
    element.addEventListener('pointerup', (e) => this.pointerUp(e));
    element.addEventListener('pointercancel', (e) => this.pointerUp(e));
    element.addEventListener('lostpointercapture', () => this.endDrag());
    element.addEventListener('dblclick', (e) => { e.preventDefault(); this.setValue(knob.defaultValue); });
    element.addEventListener('keydown', (e) => this.keyDown(e));
  }

  setValue(value, notify = true) {
    const settled = settleKnob(this.knob, value);
    const changed = settled !== this.value;
    this.value = settled;
    this.show();
    if (changed && notify) this.pedal.changed();
  }

  show() {
    const text = valueText(this.knob, this.value);
    this.element.setAttribute('aria-valuenow', String(this.value));
    this.element.setAttribute('aria-valuetext', this.knob.suffix ? `${text} ${this.knob.suffix}` : text);
    this.box.textContent = text + this.knob.suffix;
    this.draw();
  }

  draw() {
    const frame = frameFor(this.knob, this.value);
    const scale = window.devicePixelRatio || 1;
    const pixels = Math.round(this.frameSize * scale);
    if (frame === this.frame && this.canvas.width === pixels) return;
    this.frame = frame;
    this.element.dataset.frame = String(frame);
    this.canvas.width = pixels;
    this.canvas.height = pixels;
    const g = this.canvas.getContext('2d');
    g.imageSmoothingQuality = 'high';
    g.clearRect(0, 0, pixels, pixels);
    const side = this.strip.naturalWidth;
    const frameHeight = Math.floor(this.strip.naturalHeight / STRIP_FRAMES);
    g.drawImage(this.strip, 0, frame * frameHeight, side, frameHeight, 0, 0, pixels, pixels);
  }

  pointerDown(e) {
    if (e.button !== 0) return;
    e.preventDefault();
    this.element.focus({ preventScroll: true });
    if (e.altKey) {
      this.setValue(this.knob.defaultValue);
      return;
    }
    // A vertical drag from where the press began, as the plug-in's knob (the framework's
    // absolute drag): up raises the value, 250 px for the whole range.
    this.drag = { pointerId: e.pointerId, startY: e.clientY, startProportion: toProportion(this.value, this.knob.max, this.knob.step) };
    this.element.setPointerCapture(e.pointerId);
    this.box.hidden = false;
    document.documentElement.classList.add('turning');
  }

  pointerMove(e) {
    if (!this.drag || e.pointerId !== this.drag.pointerId) return;
    const difference = this.drag.startY - e.clientY;
    const position = Math.min(1, Math.max(0, this.drag.startProportion + difference * (1 / DRAG_PIXELS)));
    this.setValue(fromProportion(position, this.knob.max, this.knob.step));
  }

  pointerUp(e) {
    if (!this.drag || e.pointerId !== this.drag.pointerId) return;
    if (this.element.hasPointerCapture(e.pointerId)) this.element.releasePointerCapture(e.pointerId);
    this.endDrag();
  }

  endDrag() {
    if (!this.drag) return;
    this.drag = null;
    this.box.hidden = true;
    document.documentElement.classList.remove('turning');
  }

  keyDown(e) {
    const { step, coarse, max } = this.knob;
    const moves = {
      ArrowUp: this.value + step, ArrowRight: this.value + step,
      ArrowDown: this.value - step, ArrowLeft: this.value - step,
      PageUp: this.value + coarse, PageDown: this.value - coarse,
      Home: 0, End: max,
    };
    if (!(e.key in moves)) return;
    e.preventDefault();
    this.setValue(moves[e.key]);
  }
}

export class Pedal {
  /** root: the element to build the pedal in; onChange (settings) whenever a control moves. */
  static async create(root, imageBase, onChange) {
    const names = ['Background', 'knob_strip', 'stompSwitchUp', 'stompSwitchDown', 'LED_on', 'LED_off', 'button1', 'button2'];
    const images = Object.fromEntries(await Promise.all(names.map(async (n) => [n, await loadImage(`${imageBase}${n}.png`)])));
    return new Pedal(root, images, onChange);
  }

  constructor(root, images, onChange) {
    this.images = images;
    this.onChange = onChange;
    this.bypass = false;

    root.classList.add('pedal');
    const background = document.createElement('img');
    background.className = 'background';
    background.src = images.Background.src;
    background.alt = '';
    background.width = 630;
    background.height = 801;
    background.draggable = false;
    root.append(background);

    this.knobs = KNOBS.map((knob) => new Knob(this, knob, images.knob_strip));
    for (const knob of this.knobs) root.append(knob.element);

    this.buildFootswitch(root);
    this.buildLamp(root);
    this.buildLinks(root);

    for (const knob of this.knobs) knob.show();
    this.showBypass();
    // Zooming changes the device pixels per CSS pixel: the frames are drawn again to stay sharp.
    window.addEventListener('resize', () => this.knobs.forEach((k) => k.draw()));
  }

  buildFootswitch(root) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'footswitch';
    button.id = 'footswitch';
    button.setAttribute('role', 'switch');
    button.setAttribute('aria-label', 'Bypass');
    const image = document.createElement('img');
    image.alt = '';
    image.draggable = false;
    button.append(image);
    this.footswitch = button;
    this.footswitchImage = image;
    this.switchAlpha = { up: alphaOf(this.images.stompSwitchUp), down: alphaOf(this.images.stompSwitchDown) };
    this.held = false;

    // The mouse counts only on the picture's opaque body (alpha above 230 in the picture shown);
    // clicks on the transparent surround or the soft shadow go nowhere.
    button.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || !this.onSwitchBody(e)) {
        e.preventDefault();
        return;
      }
      this.held = true;
      this.heldOver = true;
      button.setPointerCapture(e.pointerId);
      this.showBypass();
    });
    button.addEventListener('pointermove', (e) => {
      const over = this.onSwitchBody(e);
      button.classList.toggle('over-body', over);
      if (this.held && over !== this.heldOver) {
        this.heldOver = over;
        this.showBypass();
      }
    });
    const release = (e, cancelled) => {
      if (!this.held) return;
      const over = !cancelled && this.onSwitchBody(e);
      this.held = false;
      if (over) this.setBypass(!this.bypass);
      else this.showBypass();
    };
    button.addEventListener('pointerup', (e) => release(e, false));
    button.addEventListener('pointercancel', (e) => release(e, true));
    button.addEventListener('pointerleave', () => button.classList.remove('over-body'));
    // Space and Enter (a click with no mouse behind it) switch it from the keyboard.
    button.addEventListener('click', (e) => {
      if (e.detail === 0) this.setBypass(!this.bypass);
    });
    root.append(button);
  }

  onSwitchBody(e) {
    const rect = this.footswitch.getBoundingClientRect();
    const x = Math.floor(e.clientX - rect.left);
    const y = Math.floor(e.clientY - rect.top);
    if (x < 0 || y < 0 || x >= rect.width || y >= rect.height) return false;
    const shown = this.bypass || (this.held && this.heldOver) ? this.switchAlpha.down : this.switchAlpha.up;
    const px = Math.floor((x * shown.width) / rect.width);
    const py = Math.floor((y * shown.height) / rect.height);
    return shown.alpha[py * shown.width + px] > FOOTSWITCH_ALPHA;
  }

  buildLamp(root) {
    const lamp = document.createElement('div');
    lamp.className = 'lamp';
    lamp.id = 'lamp';
    lamp.setAttribute('aria-hidden', 'true');
    const image = document.createElement('img');
    image.alt = '';
    image.draggable = false;
    lamp.append(image);
    this.lamp = lamp;
    this.lampImage = image;
    // An image button with no action: held down, it shows the lit lamp.
    this.lampHeld = false;
    lamp.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      e.preventDefault();
      this.lampHeld = true;
      lamp.setPointerCapture(e.pointerId);
      this.showBypass();
    });
    const release = () => {
      this.lampHeld = false;
      this.showBypass();
    };
    lamp.addEventListener('pointerup', release);
    lamp.addEventListener('pointercancel', release);
    root.append(lamp);
  }

  buildLinks(root) {
    const make = (className, href, image, label) => {
      const link = document.createElement('a');
      link.className = `link ${className}`;
      link.href = href;
      link.target = '_blank';
      link.rel = 'noopener';
      const picture = document.createElement('img');
      picture.src = image.src;
      picture.alt = label;
      picture.draggable = false;
      link.append(picture);
      root.append(link);
      return link;
    };
    this.shareLink = make('share', LINKS.share, this.images.button1, 'Share Pelorvane (opens the maker’s page)');
    this.boardLink = make('board', LINKS.board, this.images.button2, 'Add to your board (opens the maker’s page)');
  }

  showBypass() {
    const down = this.bypass || (this.held && this.heldOver);
    this.footswitchImage.src = (down ? this.images.stompSwitchDown : this.images.stompSwitchUp).src;
    this.footswitch.setAttribute('aria-checked', String(this.bypass));
    this.footswitch.dataset.state = down ? 'down' : 'up';
    const lit = !this.bypass || this.lampHeld;
    this.lampImage.src = (lit ? this.images.LED_on : this.images.LED_off).src;
    this.lamp.dataset.lit = String(lit);
  }

  setBypass(on, notify = true) {
    const changed = on !== this.bypass;
    this.bypass = on;
    this.showBypass();
    if (changed && notify) this.changed();
  }

  settings() {
    const out = {};
    for (const knob of this.knobs) out[knob.knob.id] = knob.value;
    out.bypass = this.bypass;
    return out;
  }

  /** Sets whichever controls are given, as a host would; the page hears of it as of a turn. */
  set(settings) {
    for (const knob of this.knobs) if (settings[knob.knob.id] !== undefined) knob.setValue(settings[knob.knob.id], false);
    if (settings.bypass !== undefined) this.setBypass(Boolean(settings.bypass), false);
    this.changed();
  }

  changed() {
    this.onChange(this.settings());
  }
}
