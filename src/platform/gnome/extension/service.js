// Halvo's service inside GNOME Shell: the windows, monitors and keys Halvo needs, exported on
// the session bus. Shared by the legacy entry point (GNOME 43-44) and the ES-module one (45 and
// later): `lib` carries the libraries each entry point imports its own way, so that nothing here
// depends on the module system.

const SERVICE_NAME = 'example.c_seed_0d7007af.halvo.Shell';
const OBJECT_PATH = '/example/c_seed_0d7007af/halvo/Shell';
const HALVO_NAME = 'example.c_seed_0d7007af.halvo';
const VERSION = '@HALVO_VERSION@';

// Halvo's modifier bits (Control 1, Alt 2, Super 4, Shift 8).
const CONTROL = 1;
const ALT = 2;
const SUPER = 4;
const SHIFT = 8;

const MAX_ACCELERATOR_LENGTH = 64;
const MAX_OVERLAY_SIDE = 8192;
const ACTION_COUNT = 4;
const MAX_MENU_ROWS = 32;
const MAX_MENU_LABEL_LENGTH = 120;

// eslint-disable-next-line no-unused-vars
function createService(lib, interfaceXml) {
    return new HalvoShellService(lib, interfaceXml);
}

class HalvoShellService {
    constructor(lib, interfaceXml) {
        this._lib = lib;
        this._interfaceXml = interfaceXml;
        this._signals = [];
        this._ready = new Set(); // ids of the windows mutter has shown
        this._grabs = new Map(); // action -> mutter's action id
        this._down = new Set(); // actions whose arrow is down
        this._hold = null;
        this._menuButton = null;
        this._pendingRows = null; // rows that came while the menu was open
    }

    enable() {
        const {Gio} = this._lib;
        this._exported = Gio.DBusExportedObject.wrapJSObject(this._interfaceXml, this);
        this._checkImplemented();
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, SERVICE_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._halvoOwner = null;
        this._watchId = Gio.bus_watch_name_on_connection(Gio.DBus.session, HALVO_NAME,
            Gio.BusNameWatcherFlags.NONE,
            (_connection, _name, owner) => {
                this._halvoOwner = owner;
            },
            () => this._halvoLeft());
        this._watchWindows();
        this._createLayer();
    }

    disable() {
        const {Gio} = this._lib;
        this._halvoLeft();
        for (const [object, id] of this._signals)
            object.disconnect(id);
        this._signals = [];
        Gio.bus_unwatch_name(this._watchId);
        Gio.bus_unown_name(this._nameId);
        this._exported.unexport();
        this._exported = null;
        this._ready.clear();
        this._layer.destroy();
        this._layer = null;
        this._overlay = null;
    }

    // An interface method without its implementation would leave Halvo waiting for a reply.
    _checkImplemented() {
        const info = this._exported.get_info();
        for (const method of info.methods) {
            if (typeof this[method.name] !== 'function' &&
                typeof this[`${method.name}Async`] !== 'function')
                throw new Error(`Halvo's extension does not implement ${method.name}`);
        }
    }

    _connect(object, signal, handler) {
        this._signals.push([object, object.connect(signal, handler)]);
    }

    _emit(name, signature, values) {
        if (!this._exported)
            return;
        const {GLib} = this._lib;
        this._exported.emit_signal(name, signature ? new GLib.Variant(signature, values) : null);
    }

    // Halvo quit or crashed: nothing it asked for stays.
    _halvoLeft() {
        this._halvoOwner = null;
        this._endHold();
        if (this._overlay)
            this._overlay.hide();
        for (const action of [...this._grabs.keys()])
            this._ungrab(action);
        this._removeMenuButton();
    }

    // ---- windows

    _watchWindows() {
        const display = global.display;
        for (const actor of global.get_window_actors())
            this._track(actor.meta_window, true);
        this._connect(display, 'window-created', (_display, window) => this._track(window, false));
        this._connect(display, 'notify::focus-window', () => this._emit('FocusChanged'));
        this._connect(this._lib.Main.layoutManager, 'monitors-changed',
            () => this._emit('MonitorsChanged'));
        this._connect(display, 'accelerator-activated',
            (_display, id, _device, _time) => this._acceleratorActivated(id));
    }

    // Mutter lists a new Wayland window at 0x0 and undoes what is asked of it before it is shown:
    // a window counts once it has been shown.
    _track(window, shownAlready) {
        const id = window.get_id();
        const changed = () => this._emit('WindowsChanged');
        const ids = [];
        const connect = (signal, handler) => ids.push(window.connect(signal, handler));
        if (shownAlready) {
            this._ready.add(id);
        } else {
            connect('shown', () => {
                this._ready.add(id);
                changed();
            });
        }
        connect('notify::minimized', changed);
        connect('notify::fullscreen', changed);
        connect('unmanaged', () => {
            for (const handler of ids)
                window.disconnect(handler);
            this._ready.delete(id);
            changed();
        });
        this._signals.push(...ids.map(handler => [window, handler]));
    }

    _windows() {
        const {Meta} = this._lib;
        const listed = [Meta.WindowType.NORMAL, Meta.WindowType.DIALOG,
            Meta.WindowType.MODAL_DIALOG, Meta.WindowType.UTILITY];
        const windows = global.get_window_actors()
            .map(actor => actor.meta_window)
            .filter(window => this._ready.has(window.get_id()) &&
                listed.includes(window.get_window_type()) && !window.is_override_redirect());
        return global.display.sort_windows_by_stacking(windows).reverse();
    }

    _window(id) {
        return this._windows().find(window => window.get_id() === id) ?? null;
    }

    _describe(window) {
        const {Meta} = this._lib;
        const frame = window.get_frame_rect();
        const maximized = typeof window.get_maximized === 'function'
            ? window.get_maximized() : 0;
        const type = window.get_window_type();
        return {
            id: window.get_id(),
            app: window.get_wm_class() ?? '',
            pid: window.get_pid(),
            kind: type === Meta.WindowType.NORMAL ? 'normal'
                : type === Meta.WindowType.UTILITY ? 'other' : 'dialog',
            monitor: window.get_monitor(),
            frame: [frame.x, frame.y, frame.width, frame.height],
            minimized: window.minimized,
            fullScreen: window.is_fullscreen(),
            maximizedH: (maximized & Meta.MaximizeFlags.HORIZONTAL) !== 0,
            maximizedV: (maximized & Meta.MaximizeFlags.VERTICAL) !== 0,
            canMove: window.allows_move(),
            canResize: window.allows_resize(),
        };
    }

    GetVersion() {
        return VERSION;
    }

    GetWindows() {
        const focus = global.display.focus_window;
        return JSON.stringify({
            focused: focus && this._ready.has(focus.get_id()) ? focus.get_id() : null,
            windows: this._windows().map(window => this._describe(window)),
        });
    }

    GetMonitors() {
        const display = global.display;
        const workspace = global.workspace_manager.get_active_workspace();
        const monitors = [];
        for (let i = 0; i < display.get_n_monitors(); i++) {
            const frame = display.get_monitor_geometry(i);
            const work = workspace.get_work_area_for_monitor(i);
            monitors.push({
                frame: [frame.x, frame.y, frame.width, frame.height],
                workArea: [work.x, work.y, work.width, work.height],
            });
        }
        const [x, y] = global.get_pointer();
        return JSON.stringify({
            monitors,
            primary: display.get_primary_monitor(),
            pointer: [x, y],
            pointerMonitor: display.get_current_monitor(),
        });
    }

    // Runs a change for Halvo alone, on the window the id names; answers false for a window
    // that is gone.
    _change(invocation, id, change) {
        const {Gio, GLib} = this._lib;
        if (!this._halvoOwner || invocation.get_sender() !== this._halvoOwner) {
            invocation.return_error_literal(Gio.DBusError, Gio.DBusError.ACCESS_DENIED,
                'Only Halvo may change windows');
            return;
        }
        let done = false;
        try {
            const window = this._window(id);
            if (window)
                done = change(window) !== false;
        } catch (e) {
            logError(e, 'Halvo');
        }
        invocation.return_value(new GLib.Variant('(b)', [done]));
    }

    ActivateAsync([id], invocation) {
        this._change(invocation, id, window => {
            // A fresh timestamp: outside an event the shell's current time may be older than the
            // last user action, and mutter's focus-stealing prevention then refuses the focus.
            this._lib.Main.activateWindow(window, global.display.get_current_time_roundtrip());
        });
    }

    RaiseAsync([id], invocation) {
        this._change(invocation, id, window => window.raise());
    }

    SetMinimizedAsync([id, minimized], invocation) {
        this._change(invocation, id, window => {
            if (minimized)
                window.minimize();
            else
                window.unminimize();
        });
    }

    SetFrameAsync([id, x, y, width, height], invocation) {
        this._change(invocation, id, window => {
            if (!window.allows_move())
                return false;
            const monitor = window.get_monitor();
            window.move_resize_frame(true, x, y, width, height);
            // The frame alone does not tell mutter which monitor the window now belongs to.
            const target = global.display.get_monitor_index_for_rect(
                new this._lib.Rectangle({x, y, width, height}));
            if (target >= 0 && target !== monitor)
                window.move_to_monitor(target);
            window.move_resize_frame(true, x, y, width, height);
            return true;
        });
    }

    SetFullScreenAsync([id, fullScreen], invocation) {
        this._change(invocation, id, window => {
            if (fullScreen)
                window.make_fullscreen();
            else
                window.unmake_fullscreen();
        });
    }

    // ---- overlay

    // The top chrome's layer: it carries the overlay and, during a hold, the modal grab, so that
    // the overlay keeps the pointer while the keyboard is held.
    _createLayer() {
        const {Clutter, Main} = this._lib;
        this._layer = new Clutter.Actor({reactive: true});
        Main.layoutManager.uiGroup.add_child(this._layer);
        this._overlay = new Clutter.Actor({reactive: true, visible: false});
        this._layer.add_child(this._overlay);
        const report = (kind, event) => {
            const [x, y] = event.get_coords();
            const [, localX, localY] = this._overlay.transform_stage_point(x, y);
            const button = kind === 3 || kind === 4 ? event.get_button() : 0;
            this._emit('OverlayPointer', '(uddu)', [kind, localX, localY, button]);
            return Clutter.EVENT_STOP;
        };
        this._overlay.connect('enter-event', (_actor, event) => report(0, event));
        this._overlay.connect('leave-event', (_actor, event) => report(1, event));
        this._overlay.connect('motion-event', (_actor, event) => report(2, event));
        this._overlay.connect('button-press-event', (_actor, event) => report(3, event));
        this._overlay.connect('button-release-event', (_actor, event) => report(4, event));
    }

    ShowOverlayAsync(params, invocation) {
        const {GLib, St, Main} = this._lib;
        if (!this._isHalvo(invocation))
            return;
        const [x, y, width, height, pixelWidth, pixelHeight] = params;
        const pixels = invocation.get_parameters().get_child_value(6).get_data_as_bytes();
        let done = false;
        if (width > 0 && height > 0 && pixelWidth > 0 && pixelHeight > 0 &&
            pixelWidth <= MAX_OVERLAY_SIDE && pixelHeight <= MAX_OVERLAY_SIDE &&
            pixels.get_size() === pixelWidth * pixelHeight * 4) {
            const content = St.ImageContent.new_with_preferred_size(width, height);
            done = this._setPixels(content, pixels, pixelWidth, pixelHeight);
            if (done) {
                this._overlay.set_content(content);
                this._overlay.set_position(x, y);
                this._overlay.set_size(width, height);
                Main.layoutManager.uiGroup.set_child_above_sibling(this._layer, null);
                this._overlay.show();
            }
        }
        invocation.return_value(new GLib.Variant('(b)', [done]));
    }

    // GNOME 43-45 take the pixels alone, 46 and later with the Cogl context first.
    _setPixels(content, pixels, pixelWidth, pixelHeight) {
        const {Cogl} = this._lib;
        const format = Cogl.PixelFormat.BGRA_8888_PRE;
        const forms = [
            () => content.set_bytes(pixels, format, pixelWidth, pixelHeight, pixelWidth * 4),
            () => content.set_bytes(global.stage.context.get_backend().get_cogl_context(),
                pixels, format, pixelWidth, pixelHeight, pixelWidth * 4),
        ];
        if (this._contextForm)
            forms.reverse();
        for (const [index, form] of forms.entries()) {
            try {
                form();
                if (index > 0)
                    this._contextForm = !this._contextForm;
                return true;
            } catch (e) {
                if (index === forms.length - 1)
                    logError(e, 'Halvo');
            }
        }
        return false;
    }

    HideOverlayAsync(_params, invocation) {
        if (!this._isHalvo(invocation))
            return;
        this._overlay.hide();
        invocation.return_value(null);
    }

    // ---- keys

    GrabShortcutAsync([action, accelerator], invocation) {
        const {GLib, Meta, Shell, Main} = this._lib;
        if (!this._isHalvo(invocation))
            return;
        let result = 2;
        if (action >= 1 && action <= ACTION_COUNT && accelerator.length <= MAX_ACCELERATOR_LENGTH) {
            this._ungrab(action);
            const id = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
            // NONE: GNOME's own shortcuts (or another grab) hold the combination.
            if (id === Meta.KeyBindingAction.NONE) {
                result = 1;
            } else {
                Main.wm.allowKeybinding(Meta.external_binding_name_for_action(id),
                    Shell.ActionMode.ALL);
                this._grabs.set(action, id);
                result = 0;
            }
        }
        invocation.return_value(new GLib.Variant('(u)', [result]));
    }

    GetGrabbedShortcuts() {
        return [...this._grabs.keys()];
    }

    UngrabShortcutAsync([action], invocation) {
        if (!this._isHalvo(invocation))
            return;
        this._ungrab(action);
        invocation.return_value(null);
    }

    _isHalvo(invocation) {
        const {Gio} = this._lib;
        if (this._halvoOwner && invocation.get_sender() === this._halvoOwner)
            return true;
        invocation.return_error_literal(Gio.DBusError, Gio.DBusError.ACCESS_DENIED,
            'Only Halvo may grab its shortcuts');
        return false;
    }

    _ungrab(action) {
        const {Meta, Main} = this._lib;
        const id = this._grabs.get(action);
        if (id === undefined)
            return;
        global.display.ungrab_accelerator(id);
        Main.wm.allowKeybinding(Meta.external_binding_name_for_action(id), this._lib.Shell.ActionMode.NONE);
        this._grabs.delete(action);
    }

    _acceleratorActivated(id) {
        for (const [action, grabbed] of this._grabs) {
            if (grabbed === id) {
                // While the hold is on, its own record of the modifiers is the exact one.
                const [, , mask] = global.get_pointer();
                this._pressed(action, this._hold ? this._hold.modifiers : this._modifiersOf(mask));
                return;
            }
        }
    }

    _pressed(action, modifiers) {
        const repeat = this._down.has(action);
        this._down.add(action);
        // The hold starts here, not at Halvo's request, so that a quick release is never missed.
        if (!repeat)
            this._beginHold(modifiers);
        this._emit('ShortcutPressed', '(ubu)', [action, repeat, modifiers]);
    }

    _modifiersOf(mask) {
        const {Clutter} = this._lib;
        let modifiers = 0;
        if (mask & Clutter.ModifierType.CONTROL_MASK)
            modifiers |= CONTROL;
        if (mask & Clutter.ModifierType.MOD1_MASK)
            modifiers |= ALT;
        if (mask & (Clutter.ModifierType.SUPER_MASK | Clutter.ModifierType.MOD4_MASK))
            modifiers |= SUPER;
        if (mask & Clutter.ModifierType.SHIFT_MASK)
            modifiers |= SHIFT;
        return modifiers;
    }

    _modifierOfKey(symbol) {
        const {Clutter} = this._lib;
        switch (symbol) {
        case Clutter.KEY_Control_L: case Clutter.KEY_Control_R:
            return CONTROL;
        case Clutter.KEY_Alt_L: case Clutter.KEY_Alt_R: case Clutter.KEY_Meta_L:
        case Clutter.KEY_Meta_R:
            return ALT;
        case Clutter.KEY_Super_L: case Clutter.KEY_Super_R:
            return SUPER;
        case Clutter.KEY_Shift_L: case Clutter.KEY_Shift_R:
            return SHIFT;
        }
        return 0;
    }

    _actionOfKey(symbol) {
        const {Clutter} = this._lib;
        return {
            [Clutter.KEY_Left]: 1, [Clutter.KEY_Right]: 2, [Clutter.KEY_Up]: 3,
            [Clutter.KEY_Down]: 4,
        }[symbol] ?? 0;
    }

    // A modal grab from the first press until every modifier is up: it reports each release at
    // the moment it happens, which a poll of the modifier mask would not.
    _beginHold(modifiers) {
        const {Clutter, Main, Shell} = this._lib;
        if (this._hold || !this._halvoOwner)
            return;
        const actor = this._layer;
        Main.layoutManager.uiGroup.set_child_above_sibling(actor, null);
        const grab = Main.pushModal(actor, {actionMode: Shell.ActionMode.ALL});
        const handlers = [
            actor.connect('key-press-event', (_actor, event) => this._holdKey(event, true)),
            actor.connect('key-release-event', (_actor, event) => this._holdKey(event, false)),
        ];
        this._hold = {actor, grab, modifiers, handlers};
        actor.grab_key_focus();
        // A grab the shell could not take holds nothing: the modifiers count as released.
        if (grab && typeof grab.get_seat_state === 'function' &&
            !(grab.get_seat_state() & Clutter.GrabState.KEYBOARD))
            this._setModifiers(0);
    }

    _holdKey(event, pressed) {
        const {Clutter} = this._lib;
        const symbol = event.get_key_symbol();
        const action = this._actionOfKey(symbol);
        if (action && pressed && this._grabs.has(action)) {
            this._pressed(action, this._hold ? this._hold.modifiers : 0);
        } else if (action && !pressed) {
            this._down.delete(action);
            this._emit('ArrowReleased', '(u)', [action]);
        }
        const modifier = this._modifierOfKey(symbol);
        if (modifier && this._hold) {
            const held = pressed ? this._hold.modifiers | modifier : this._hold.modifiers & ~modifier;
            this._setModifiers(held);
        }
        return Clutter.EVENT_STOP;
    }

    _setModifiers(held) {
        if (!this._hold)
            return;
        this._hold.modifiers = held;
        this._emit('ModifiersChanged', '(u)', [held]);
        if (held === 0)
            this._endHold();
    }

    _endHold() {
        const {Main} = this._lib;
        this._down.clear();
        if (!this._hold)
            return;
        const {actor, grab, handlers} = this._hold;
        this._hold = null;
        for (const handler of handlers)
            actor.disconnect(handler);
        Main.popModal(grab);
    }

    // ---- top-bar menu

    // The owner of Halvo's name may be newer than the one last heard of: the bus is asked before
    // the call is refused, so that Halvo's first menu is not lost to that race.
    _whenFromHalvo(invocation, run) {
        const {Gio, GLib} = this._lib;
        const sender = invocation.get_sender();
        if (this._halvoOwner && sender === this._halvoOwner) {
            run();
            return;
        }
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetNameOwner', new GLib.Variant('(s)', [HALVO_NAME]),
            new GLib.VariantType('(s)'), Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                let owner = null;
                try {
                    [owner] = bus.call_finish(result).deepUnpack();
                } catch (e) {
                    // No owner: nobody is Halvo.
                }
                if (owner && owner === sender) {
                    this._halvoOwner = owner;
                    run();
                } else {
                    invocation.return_error_literal(Gio.DBusError, Gio.DBusError.ACCESS_DENIED,
                        'Only Halvo may set its menu');
                }
            });
    }

    // Rows from the bus, or null when one of them is out of bounds.
    _validRows(items) {
        if (!Array.isArray(items) || items.length > MAX_MENU_ROWS)
            return null;
        const rows = [];
        for (const [id, label, enabled, separator] of items) {
            if (typeof label !== 'string' || label.length > MAX_MENU_LABEL_LENGTH)
                return null;
            rows.push({id, label, enabled: Boolean(enabled), separator: Boolean(separator)});
        }
        return rows;
    }

    SetMenuAsync([items], invocation) {
        const {GLib} = this._lib;
        this._whenFromHalvo(invocation, () => {
            const rows = this._validRows(items);
            if (rows) {
                try {
                    this._showMenu(rows);
                } catch (e) {
                    logError(e, 'Halvo');
                }
            }
            invocation.return_value(new GLib.Variant('(b)', [rows !== null]));
        });
    }

    _showMenu(rows) {
        if (!this._menuButton)
            this._addMenuButton();
        if (this._menuButton.menu.isOpen)
            this._pendingRows = rows;
        else
            this._fillMenu(rows);
    }

    _addMenuButton() {
        const {Gio, St, Main, PanelMenu} = this._lib;
        const button = new PanelMenu.Button(0.0, 'Halvo', false);
        button.add_child(new St.Icon({
            gicon: Gio.icon_new_for_string(`${this._lib.path}/halvo-symbolic.svg`),
            style_class: 'system-status-icon',
        }));
        button.accessible_name = 'Halvo';
        button.menu.connect('open-state-changed', (_menu, open) => {
            if (!open && this._pendingRows) {
                this._fillMenu(this._pendingRows);
                this._pendingRows = null;
            }
        });
        Main.panel.addToStatusArea('halvo', button);
        this._menuButton = button;
    }

    _fillMenu(rows) {
        const {PopupMenu} = this._lib;
        const menu = this._menuButton.menu;
        menu.removeAll();
        for (const row of rows) {
            if (row.separator) {
                menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                continue;
            }
            const item = new PopupMenu.PopupMenuItem(row.label);
            item.setSensitive(row.enabled);
            item.connect('activate', () => this._menuActivated(row.id));
            item._halvoRow = row;
            menu.addMenuItem(item);
        }
    }

    // Only Halvo hears which row was chosen: the signal goes to its connection alone.
    _menuActivated(id) {
        const {Gio, GLib} = this._lib;
        if (!this._halvoOwner)
            return;
        Gio.DBus.session.emit_signal(this._halvoOwner, OBJECT_PATH, SERVICE_NAME,
            'MenuActivated', new GLib.Variant('(u)', [id]));
    }

    _removeMenuButton() {
        this._pendingRows = null;
        this._menuButton?.destroy();
        this._menuButton = null;
    }

    GetMenuState() {
        const frame = actor => {
            const [x, y] = actor.get_transformed_position();
            const [width, height] = actor.get_transformed_size();
            return [x, y, width, height].map(Math.round);
        };
        const button = this._menuButton;
        const open = Boolean(button?.menu.isOpen);
        const rows = open ? button.menu._getMenuItems()
            .filter(item => item._halvoRow !== undefined)
            .map(item => ({...item._halvoRow, frame: frame(item)})) : [];
        return JSON.stringify({button: button ? frame(button) : null, open, rows});
    }
}
