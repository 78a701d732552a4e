#!/usr/bin/env python3
"""Writes skins/default: the art (art/*.png, art/d_wash.bmp) and skin.json.

The skin is written here rather than by hand because its screens repeat a few structures many
times (the title bar, the grouped property row, buttons with three looks); change this script
and run it again (python3 tools/art/default_skin.py), then commit the generated files.
Designed at base density for a 240-pixel-wide portrait screen; every form is laid out with
anchors and tables, so it also fits 320 wide and the doubled coordinates of 192 dpi."""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import default_art as A  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SKIN_DIR = os.path.join(ROOT, "skins", "default")

F_TITLE = {"font": "10 1 0 0 Tahoma"}
F_BODY = {"font": "9 0 0 0 Tahoma"}
F_BODY_B = {"font": "9 1 0 0 Tahoma"}
F_SMALL = {"font": "8 0 0 0 Tahoma"}
F_SMALL_B = {"font": "8 1 0 0 Tahoma"}
F_BIG = {"font": "16 1 0 0 Tahoma"}
F_APP = {"font": "14 1 0 0 Tahoma"}

BAR_H = 36
ROW_H = 36
MARGIN = 10
KEY_W = 40  # design width of a keypad key, wider than any key face
CELLS = {}


def col(c):
    return {"color": c}


def pic(name):
    sheet, x, y, w, h, border = CELLS[name]
    if border:
        l, t, r, b = border
        return {"picture": sheet, "coords": [x, y, x + l, y + t, x + w - r, y + h - b, x + w, y + h]}
    return {"picture": sheet, "coords": [x, y, x, y, x + w, y + h, x + w, y + h]}


def size_of(name):
    return [CELLS[name][3], CELLS[name][4]]


def n(kind="node", **props):
    node = {"type": kind}
    children = props.pop("children", None)
    node.update(props)
    if children is not None:
        node["children"] = children
    return node


def color(c, **kw):
    return n("color", color=col(c), **kw)


def image(name, id=None, stretch=True, **kw):
    props = {"src": pic(name), "alpha": 0}
    if id:
        props["id"] = id
    if not stretch:
        props.setdefault("design_size", size_of(name))
        props.setdefault("anchor_x", "CENTER")
        props.setdefault("anchor_y", "CENTER")
    props.update(kw)
    return n("image", **props)


def text(key="", id=None, font=F_BODY, color_=A.TEXT, **kw):
    props = {"font": font, "color": col(color_)}
    if key:
        props["text"] = key
    if id:
        props["id"] = id
    props.update(kw)
    return n("text", **props)


def multinode(id, frames, **kw):
    return n("multinode", id=id, children=frames, **kw)


def spinner(id="wait", variant="spin", **kw):
    props = {"movie": 1, "delay": "0.09", "design_size": [20, 20], "anchor_x": "CENTER",
             "anchor_y": "CENTER"}
    props.update(kw)
    return multinode(id, [image("%s%d" % (variant, f)) for f in range(8)], **props)


def states(normal, pressed, disabled):
    out = []
    for id, children in (("#normal", normal), ("#pressed", pressed), ("#disabled", disabled)):
        if children is not None:
            out.append(n(id=id, children=children))
    return out


def button(id, key=None, look="primary", where="page", font=F_BODY_B, width=None, height=ROW_H,
           **kw):
    """A rounded button with text: looks primary, second, danger, outline."""
    fg = {"primary": A.WHITE, "danger": A.WHITE, "second": A.ACCENT, "outline": A.DANGER}[look]
    fg_d = {"primary": A.WHITE, "danger": A.WHITE, "second": A.HINT, "outline": A.HINT}[look]
    shape = {"outline": "outline", "danger": "danger"}.get(look, look)
    label = lambda c: text(id="#text", font=font, color_=c, ellipsis=1, border_min=[8, 0],
                           border_max=[8, 0])
    d_shape = {"primary": "primary_d_", "danger": "primary_d_", "second": "second_d_",
               "outline": "second_d_"}[look] + where
    props = {"id": id, "design_size": [width or 0, height]}
    if key:
        props["text"] = key
    props.update(kw)
    return n("button", children=states(
        [image(shape + "_n_" + where), label(fg)],
        [image(shape + "_p_" + where), label(fg)],
        [image(d_shape), label(fg_d)]), **props)


def bar_icon(id, glyph, **kw):
    """A square icon button for the title bar."""
    props = {"id": id, "design_size": [40, BAR_H]}
    props.update(kw)
    return n("button", children=states(
        [image(glyph, stretch=False)],
        [image("bar_p", border_min=[2, 3], border_max=[2, 3]),
         image(glyph + "_p", stretch=False)],
        [image(glyph, stretch=False), image("wash", alpha=128)]), **props)


def bar_back(id="back", key="Back", **kw):
    """Chevron and text; the width follows the text."""
    label = lambda c: text(id="#text", font=F_BODY_B, color_=c, grow=1, halign="LEFT",
                           border_min=[22, 0], border_max=[8, 0])
    props = {"id": id, "design_size": [44, BAR_H]}
    if key:
        props["text"] = key
    props.update(kw)
    return n("button", children=states(
        [image("back", stretch=False, anchor_x="MIN_SIDE", border_min=[4, 0]), label(A.WHITE)],
        [image("bar_p", border_min=[2, 3], border_max=[2, 3]),
         image("back_p", stretch=False, anchor_x="MIN_SIDE", border_min=[4, 0]), label(A.WHITE)],
        [image("back", stretch=False, anchor_x="MIN_SIDE", border_min=[4, 0]),
         label("#9DB8EC")]), **props)


def bar_title(id="title", key=None):
    props = {"id": id, "table_ratio": 1}
    if key:
        props["text"] = key
    return n("button", children=[
        text(id="#text", font=F_TITLE, color_=A.WHITE, ellipsis=1, border_min=[4, 0],
             border_max=[4, 0])], **props)


def title_bar(left, title, right):
    """The coloured bar: left buttons, a title that takes the rest, right buttons."""
    return n(anchor_y="MIN_SIDE", design_size=[0, BAR_H], children=[
        color(A.BAR),
        n("htable", children=left + [title] + right)])


# Room kept on both sides of a centred caption: as wide as the back button with its word.
CAPTION_SIDE = 72


def captioned_bar(caption, right):
    """Back on the left, buttons on the right, and the caption centred on the whole bar, so it
    neither sits off-centre nor moves when a right button comes or goes."""
    caption.update({"border_min": [CAPTION_SIDE, 0], "border_max": [CAPTION_SIDE, 0]})
    caption.pop("table_ratio", None)
    return n(anchor_y="MIN_SIDE", design_size=[0, BAR_H], children=[
        color(A.BAR),
        n("htable", children=[bar_back("back", "Back"), n(table_ratio=1)] + list(right)),
        caption])


def caption_text(key):
    return n(children=[text(key, font=F_TITLE, color_=A.WHITE, ellipsis=1)])


def page(root_id, children, animation="right"):
    return {"id": root_id, "visibility_animation": animation,
            "children": [color(A.PAGE)] + children}


def vpage(root_id, bar, body, animation="right"):
    """A form: the bar on top, the body fills the rest (a vertical table)."""
    return page(root_id, [n("vtable", children=[bar] + body)], animation)


def path_bar(id="path", bg=A.PATH, height=22, font=F_SMALL, **kw):
    cells = []
    for i in range(6):
        cells.append(n(id=str(i), children=[
            image("crumb", stretch=False, anchor_x="MIN_SIDE", design_size=[12, 16],
                  border_min=[0 if i == 0 else -2, 0]) if i else n(design_size=[0, 0]),
            text(id="#text", font=font, color_=A.TEXT2, grow=1, ellipsis=1, halign="LEFT",
                 border_min=[12 if i else 2, 0], border_max=[2, 0])]))
    props = {"id": id, "design_size": [0, height]}
    props.update(kw)
    return n(children=[
        color(bg) if bg else n(),
        image("home", id="home", stretch=False, anchor_x="MIN_SIDE", border_min=[8, 0]),
        n("htable", id="table", border_min=[8, 0], border_max=[8, 0], children=cells)], **props)


# --- property rows --------------------------------------------------------------------------

def back_switcher(id, prefix, **kw):
    return multinode(id, [image("%s%d" % (prefix, s), **kw) for s in range(4)])


def prop_row(id, key=None, kind="pair", left=12, right=30, check="right", icon_places=False,
             extra=(), height=ROW_H, value_font=F_BODY, **kw):
    """A grouped row: a button with caption (#text) and value (#value_text) over a background
    that the code switches between alone, first, middle and last (back_n, back_p, back_d)."""
    if kind == "pair":  # caption left, value right, sharing the width
        content = [n("htable", border_min=[left, 0], border_max=[right, 0], children=[
            text(id="#text", color_=A.TEXT, grow=1, ellipsis=1, halign="LEFT"),
            text(id="#value_text", font=value_font, color_=A.TEXT2, grow=1, ellipsis=1,
                 halign="RIGHT", table_ratio=1, border_min=[8, 0])])]
    elif kind == "wrap":  # a caption shown while empty, or the value on as many lines as needed
        content = [
            text(id="#text", color_=A.HINT, ellipsis=1, halign="LEFT", border_min=[left, 0],
                 border_max=[right, 0]),
            text(id="#value_text", font=value_font, color_=A.TEXT, wrap=1, grow=1, halign="LEFT",
                 border_min=[left, 9], border_max=[right, 9])]
    else:  # "two": caption above, value below
        content = [
            text(id="#text", color_=A.TEXT, ellipsis=1, halign="LEFT", valign="BOTTOM",
                 anchor_y="MIN_SIDE", design_size=[0, 20], border_min=[left, 2],
                 border_max=[right, 0]),
            text(id="#value_text", font=F_SMALL, color_=A.TEXT2, ellipsis=1, halign="LEFT",
                 valign="TOP", anchor_y="MAX_SIDE", design_size=[0, 18], border_min=[left, 0],
                 border_max=[right, 2])]
    # List forms never show the chevron beside a check, so the check takes the chevron's place.
    check_at = ({"anchor_x": "MAX_SIDE", "border_max": [10, 0]} if check == "right"
                else {"anchor_x": "MIN_SIDE", "border_min": [10, 0]})
    # Each state shows only its own icon: drawn together, the last one covered the others.
    place = {}
    for s, glyph in (("d", "user"), ("n", "user_row"), ("p", "user_p")):
        place[s] = [n(id="icon_place_" + s, children=[
            image(glyph, stretch=False, anchor_x="MIN_SIDE", border_min=[10, 0])])] \
            if icon_places else []
    props = {"id": id, "design_size": [0, height]}
    if key:
        props["text"] = key
    props.update(kw)
    # The white row stays under every state, so a disabled row is a greyed card rather than
    # bare text on the page.
    # The chevron and check of each look live in that look, so a pressed row shows only the
    # pressed ones; a disabled row, which cannot be opened, shows neither.
    children = [
        back_switcher("back_n", "row_n"),
        n(id="#normal", children=[
            image("chev_r", id="more_n", stretch=False, anchor_x="MAX_SIDE", border_max=[8, 0]),
            image("check", id="check_n", stretch=False, **check_at)] + place["n"]),
        n(id="#pressed", children=[
            back_switcher("back_p", "row_p"),
            image("chev_r_p", id="more_p", stretch=False, anchor_x="MAX_SIDE", border_max=[8, 0]),
            image("check_p", id="check_p", stretch=False, **check_at)] + place["p"]),
    ] + content + list(extra) + [
        n(id="#disabled", children=place["d"] + [
            back_switcher("back_d", "wash_row", alpha=128)]),
    ]
    return n("button", children=children, **props)


# --- rows of lists ------------------------------------------------------------------------

def list_states(pressed=A.PRESS, normal=A.WHITE, selected=A.SELECT, **kw):
    out = []
    if normal:
        out.append(color(normal, id="#vlist_normal", **kw))
    out.append(color(pressed, id="#vlist_pressed", **kw))
    out.append(color(selected, id="#vlist_selected", **kw))
    return out


def divider(left=0):
    return color(A.LINE, anchor_y="MAX_SIDE", design_size=[0, 1], border_min=[left, 0])


def unread_badge(id="unread", **kw):
    """White text on a blue pill that grows with the text."""
    props = {"font": F_SMALL_B, "color_": A.WHITE, "grow": 1, "anchor_x": "MAX_SIDE",
             "anchor_y": "CENTER", "design_size": [0, 16]}
    props.update(kw)
    return text(id=id, children=[image("pill", anchor_x="BOTH_SIDE_NO_SIZE",
                                       border_min=[-6, 0], border_max=[-6, 0])], **props)


def section_header(id="name", height=30):
    return {"design_size": [0, height], "children": list_states(
        normal=A.PAGE, pressed=A.PAGE, selected=A.PAGE) + [
        text(id=id, font=F_SMALL_B, color_=A.TEXT2, ellipsis=1, halign="LEFT", valign="BOTTOM",
             border_min=[MARGIN + 12, 0], border_max=[MARGIN, 6])]}


def more_row(more_key=None, look="second"):
    more = button("more", more_key, look=look, where="page", height=32,
                  anchor_x="CENTER", anchor_y="CENTER", design_size=[170, 32])
    if not more_key:  # a place keeper: the tree level keeps it shown and disabled
        more = n("button", id="more", anchor_x="CENTER", anchor_y="CENTER", design_size=[170, 32])
    return {"design_size": [0, 48], "children": [color(A.PAGE), more,
                                                 spinner(variant="spin_page")]}


def tree_element():
    names = []
    for id, font, c in (("name", F_BODY, A.TEXT), ("name_unread", F_BODY_B, A.TEXT),
                        ("name_unfiltered", F_BODY, A.TEXT2),
                        ("name_unread_unfiltered", F_BODY_B, A.TEXT2)):
        names.append(text(id=id, font=font, color_=c, ellipsis=1, halign="LEFT"))
    status = n("button", id="complete", design_size=[44, 0], children=[
        n(id="#pressed", children=[image("key_p", border_min=[6, 6], border_max=[6, 6])]),
        n("image", id="icon", alpha=0, anchor_x="CENTER", anchor_y="CENTER", design_size=[20, 20]),
        spinner()])
    info_btn = n("button", id="info", design_size=[40, 0], children=[
        n(id="#normal", children=[image("info", stretch=False)]),
        n(id="#pressed", children=[color(A.PRESS), image("info_p", stretch=False)])])
    # The body takes what the icon and the info button leave; a hidden info button (tasks,
    # the flat list) hands its width to the body, so dates and badges keep to the right edge.
    body = n("vtable", anchor_y="CENTER", table_ratio=1, border_min=[0, 6],
             border_max=[10, 6], children=[
        n(design_size=[0, 18], children=names),
        n(design_size=[0, 15], children=[
            text(id="responsible", font=F_SMALL, color_=A.TEXT2, ellipsis=1, halign="LEFT",
                 border_max=[70, 0]),
            text(id="deadline", font=F_SMALL, color_=A.TEXT2, grow=1, anchor_x="MAX_SIDE",
                 halign="RIGHT"),
            unread_badge(border_max=[6, 0], design_size=[0, 15])]),
        path_bar(bg=None, height=16, border_min=[-8, 1])])
    return {"design_size": [0, 48], "children": list_states() + [
        n("htable", children=[status, body, info_btn]), divider(44)]}


def tree_tag_element():
    return {"design_size": [0, 44], "children": list_states() + [
        image("tag", stretch=False, anchor_x="MIN_SIDE", border_min=[14, 0]),
        text(id="name", font=F_BODY_B, ellipsis=1, halign="LEFT", border_min=[44, 0],
             border_max=[100, 0]),
        # Where a project row has its badge: left of the info button's column, on the lower line.
        unread_badge(anchor_y="MAX_SIDE", design_size=[0, 15], border_max=[56, 8]),
        image("chev_r", stretch=False, anchor_x="MAX_SIDE", border_max=[10, 0]),
        divider(44)]}


def tree_all_element():
    return {"design_size": [0, 44], "children": list_states() + [
        image("stack", stretch=False, anchor_x="MIN_SIDE", border_min=[14, 0]),
        # Two lines, so the hint of an empty root fits beside the icon on a narrow display.
        text(id="description", font=F_BODY_B, color_=A.ACCENT, wrap=1, ellipsis=1, halign="LEFT",
             border_min=[44, 0], border_max=[30, 0]),
        image("chev_r", stretch=False, anchor_x="MAX_SIDE", border_max=[10, 0]),
        divider(0)]}


# --- forms -------------------------------------------------------------------------------

def form_field(id, label_key, password=False):
    """An edit in a white box with its label to its left; the label and box are children of
    the edit drawn outside its rectangle, so they hide with it."""
    label_w = 78
    # A single line that does not fit ends in "..." until it is edited, then follows the caret.
    return n("edit", id=id, font=F_BODY, color=col(A.TEXT), halign="LEFT", ellipsis=1,
             background_color=col(A.WHITE), design_size=[0, 34],
             border_min=[MARGIN + label_w, 0], border_max=[MARGIN + 8, 6], children=[
                 image("field_page", anchor_x="BOTH_SIDE_NO_SIZE", border_min=[-label_w, 0],
                       border_max=[-8, 0]),
                 text(label_key, font=F_BODY, color_=A.TEXT2, halign="LEFT", ellipsis=1,
                      anchor_x="MIN_SIDE_NO_SIZE", design_size=[label_w - 16, 34],
                      border_min=[-label_w + 10, 0])])


def spacer(h=0, ratio=1):
    return n(design_size=[0, h], table_ratio=ratio)


def login():
    brand = n(design_size=[0, 44], children=[
        color(A.BAR),
        text("AppName", font=F_APP, color_=A.WHITE)])
    fields = [form_field("email", "LoginEmailLabel"), form_field("password", "LoginPasswordLabel"),
              form_field("name", "LoginNameLabel")]
    primary = n(design_size=[0, 36], border_min=[MARGIN, 0], border_max=[MARGIN, 0], children=[
        button("login", "LoginButton"), button("reg", "RegButton")])
    second = n("htable", design_size=[0, 32], border_min=[MARGIN, 0], border_max=[MARGIN, 0],
               children=[
                   n(table_ratio=1, border_max=[6, 0], children=[
                       button("regstart", "RegStartButton", look="second", height=32),
                       button("regcancel", "Cancel", look="second", height=32)]),
                   button("exit", "Exit", look="second", height=32, table_ratio=1)])
    return page("Login", [n("vtable", children=[
        brand, spacer(10)] + fields + [spacer(4), primary, spacer(8), second, spacer(8, 3)])],
        animation="")


def message_card(caption_key=None, text_key=None, buttons=(), extra=(), root_id=None):
    """A centred white card over the dimmed screen: caption, message, a row of buttons."""
    body = []
    if caption_key is not None:
        body.append(text(caption_key, id="caption", font=F_TITLE, grow=1, wrap=1, halign="LEFT",
                         border_min=[16, 14], border_max=[16, 0]))
    body.append(text(text_key or "", id="text", font=F_BODY, color_=A.TEXT2, grow=1, wrap=1,
                     halign="LEFT", valign="TOP", border_min=[16, 8], border_max=[16, 4]))
    body += list(extra)
    # Stacked full-width buttons, the main one on top: labels such as "Create account" need
    # the whole width of a 240-pixel screen.
    column = []
    for i, (id, key, look) in enumerate(reversed(buttons)):
        column.append(button(id, key, look=look, where="card", border_min=[0, 0 if i == 0 else 8]))
    body.append(n("vtable", border_min=[16, 12], border_max=[16, 16], children=column))
    card = n(anchor_y="CENTER", border_min=[16, 8], border_max=[16, 8], children=[
        image("card", alpha=128), n("vtable", children=body)])
    node = {"visibility_animation": "pop", "children": [card]}
    if root_id:
        node["id"] = root_id
    return node


def tree():
    bar = title_bar([bar_back("back", "Menu")], bar_title("title", "vizAllProjects"),
                    [bar_icon("plus", "plus")])
    user_btn = n("button", id="select_user", design_size=[0, 34], children=states(
        [color(A.WHITE)], [color(A.PRESS)], [color(A.WHITE)]) + [
        image("user", stretch=False, anchor_x="MIN_SIDE", border_min=[12, 0]),
        text(id="#text", font=F_BODY, color_=A.TEXT, ellipsis=1, halign="LEFT",
             border_min=[36, 0], border_max=[34, 0]),
        image("down", stretch=False, anchor_x="MAX_SIDE", border_max=[12, 0]),
        divider()])
    return vpage("Tree", bar, [path_bar(), user_btn,
                               n("vlist", id="list", table_ratio=1, scroll_border_max=[0, 8])],
                 animation="right")


def task():
    right = n(design_size=[40, BAR_H], children=[
        bar_icon("save", "save"), bar_icon("create", "save"), bar_icon("subtasks", "subtasks"),
        spinner(variant="spin_bar")])
    bar = title_bar([bar_back("back", "Back"), bar_icon("cancel", "close")],
                    bar_title("title"), [right])
    return vpage("Task", bar, [path_bar(), n("vlist", id="list", table_ratio=1)])


def task_properties():
    swatches = n(anchor_x="MAX_SIDE", design_size=[12, 12], anchor_y="CENTER",
                 border_max=[30, 0], id="swatches", children=[
                     image("dot%d" % i, id=str(i), stretch=False) for i in range(6)])
    complete = multinode("complete", [image("box0", stretch=False), image("box1", stretch=False)],
                         anchor_x="MAX_SIDE", design_size=[18, 18], anchor_y="CENTER",
                         border_max=[28, 0])
    rows = [
        prop_row("name", "TaskTitleLabel", kind="wrap", value_font=F_BODY_B),
        prop_row("comp", "CompleteLabel", right=52, extra=[complete]),
        prop_row("responsible", "ResponsibleLabel"),
        prop_row("status", "StatusLabel", right=50, extra=[swatches]),
        prop_row("tag", "TagLabel"),
        prop_row("progress", "ProgressLabel"),
        prop_row("deadline", "DeadlineLabel"),
        prop_row("comment", "TaskCommentLabel", kind="wrap"),
    ]
    # As tall as its buttons, so they keep a margin above the card's bottom edge.
    actions = n("htable", border_min=[0, 4], border_max=[0, 8], children=[
        button("share", "ShareButton", look="second", where="card", table_ratio=1, height=32,
               border_min=[8, 0], border_max=[4, 0]),
        button("del", "DeleteButton", look="outline", where="card", table_ratio=1, height=32,
               border_min=[4, 0], border_max=[8, 0])])
    footer = text(id="off_new_task", design_size=[0, 44], children=[
        image("row_n3"), actions])
    return {"design_size": [0, 0], "children": [
        n("vtable", border_min=[MARGIN, MARGIN], border_max=[MARGIN, 6],
          children=rows + [footer])]}


def labelled(id, label_key, **kw):
    """A value line of a history entry with its label drawn to its left (hidden with it)."""
    props = {"font": F_SMALL, "color_": A.TEXT, "grow": 1, "wrap": 1, "halign": "LEFT",
             "valign": "TOP", "border_min": [96, 1], "border_max": [12, 1]}
    props.update(kw)
    children = [text(label_key, font=F_SMALL, color_=A.HINT, halign="LEFT", valign="TOP",
                     ellipsis=1, anchor_x="MIN_SIDE_NO_SIZE", anchor_y="MIN_SIDE_NO_SIZE",
                     design_size=[80, 14], border_min=[-84, 0])]
    children += props.pop("children", [])
    return text(id=id, children=children, **props)


def task_chat():
    status = labelled("status", "StatusLabel", children=[
        multinode("status_check", [image("dot%d" % i, stretch=False) for i in range(6)],
                  anchor_x="MIN_SIDE", anchor_y="MIN_SIDE", design_size=[12, 12])])
    status["children"][0]["children"] = []
    status.update({"text": "", "design_size": [0, 14]})
    complete = labelled("complete", "CompleteLabel", children=[
        multinode("complete_check", [image("box0", stretch=False), image("box1", stretch=False)],
                  anchor_x="MIN_SIDE", anchor_y="MIN_SIDE", design_size=[18, 18])])
    complete.update({"design_size": [0, 18]})
    lines = n("vtable", border_min=[0, 8], border_max=[0, 8], children=[
        # The name takes what the time leaves, so a long name is cut only when it must be.
        n("htable", design_size=[0, 16], border_max=[0, 2], children=[
            text(id="user", font=F_SMALL_B, color_=A.TEXT, ellipsis=1, halign="LEFT",
                 table_ratio=1, border_min=[12, 0], border_max=[8, 0]),
            text(id="time", font=F_SMALL, color_=A.HINT, grow=1, grow_min=1, halign="RIGHT",
                 border_max=[12, 0])]),
        text(id="description", font=F_BODY, color_=A.TEXT, grow=1, wrap=1, halign="LEFT",
             valign="TOP", border_min=[12, 2], border_max=[12, 2]),
        labelled("name", "TaskTitleLabel"),
        labelled("responsible", "ResponsibleLabel"),
        status,
        labelled("progress", "ProgressLabel"),
        complete,
        labelled("deadline", "DeadlineLabel"),
        labelled("share", "ChatShareLabel"),
        labelled("unshare", "ChatUnshareLabel"),
    ])
    return {"children": [
        n(border_min=[MARGIN, 3], border_max=[MARGIN, 3], children=[image("card_page"), lines])]}


def editor(root_id, caption_key, wrap):
    bar = captioned_bar(caption_text(caption_key), [bar_icon("save", "save")])
    box = n(table_ratio=1, border_min=[MARGIN, MARGIN], border_max=[MARGIN, MARGIN], children=[
        image("field_page"),
        n("edit", id="edit", font=F_BODY, color=col(A.TEXT), background_color=col(A.WHITE),
          halign="LEFT", valign="TOP", wrap=wrap, border_min=[10, 8], border_max=[10, 8])])
    return vpage(root_id, bar, [box])


def key_button(id, label=None, glyph=None):
    face = ([text(label, font=F_TITLE, color_=A.TEXT)] if label is not None
            else [image(glyph, stretch=False)])
    # One design width for every key and the empty cell: the table shares its room on top of
    # each cell's own width, and the faces' natural widths differ.
    props = {"id": id, "table_ratio": 1, "design_size": [KEY_W, 0], "border_min": [3, 3],
             "border_max": [3, 3]}
    if label is not None and label.isdigit():
        props["bind_key"] = label
    if id == "backspace":
        props["bind_key"] = "Backspace"
    return n("button", children=states(
        [image("key_n")] + face, [image("key_p")] + face, [image("key_n")] + face), **props)


def field_button(id, label_key):
    """A number field: the screen keeps the selected field pressed, so #pressed is the
    selected look."""
    big = lambda c: text(id="#text", font=F_BIG, color_=c, border_min=[0, 14])
    cap = lambda c: text(label_key, font=F_SMALL_B, color_=c, anchor_y="MIN_SIDE",
                         design_size=[0, 18], border_min=[0, 5])
    return n("button", id=id, table_ratio=1, border_min=[4, 0], border_max=[4, 0],
             children=states(
                 [image("field_page"), cap(A.TEXT2), big(A.TEXT)],
                 [image("field_sel"), cap(A.ACCENT), big(A.ACCENT)],
                 [image("field_page"), cap(A.HINT), big(A.HINT)]))


def progress():
    bar = captioned_bar(caption_text("ProgressLabel"), [bar_icon("save", "save")])
    fields = n("htable", design_size=[0, 52], border_min=[MARGIN - 4, 8],
               border_max=[MARGIN - 4, 6], children=[
                   field_button("done", "DoneLabel"),
                   n(design_size=[14, 0], children=[text("/", font=F_BIG, color_=A.HINT)]),
                   field_button("plan", "PlanLabel")])
    keys = [["1", "2", "3"], ["4", "5", "6"], ["7", "8", "9"], [None, "0", "bksp"]]
    rows = []
    for r in keys:
        cells = []
        for k in r:
            if k is None:  # the same margins as a key, so the columns line up
                cells.append(n(table_ratio=1, design_size=[KEY_W, 0], border_min=[3, 3],
                               border_max=[3, 3]))
            elif k == "bksp":
                cells.append(key_button("backspace", glyph="bksp"))
            else:
                cells.append(key_button(k, k))
        rows.append(n("htable", table_ratio=1, design_size=[0, 32], children=cells))
    pad = n("vtable", table_ratio=1, border_min=[MARGIN - 3, 0], border_max=[MARGIN - 3, 4],
            children=rows)
    return vpage("Progress", bar, [fields, pad])


def deadline():
    bar = captioned_bar(caption_text("DeadlineLabel"), [bar_icon("save", "save")])
    # Every drum takes an equal share of the spare width on top of its own design width.
    drum = lambda id, width: n("spinner", id=id, table_ratio=1, design_size=[width, 0],
                               element_size=[0, 28])
    date = n(id="date", table_ratio=1, design_size=[0, 90], border_min=[MARGIN, MARGIN],
             border_max=[MARGIN, 0], children=[
                 image("card_page"),
                 color(A.SELECT, anchor_y="CENTER", design_size=[0, 28], border_min=[4, 0],
                       border_max=[4, 0]),
                 n("htable", border_min=[4, 4], border_max=[4, 4], children=[
                     drum("year", 40), drum("month", 32), drum("day", 20),
                     n(design_size=[8, 0]), drum("hour", 20), drum("minute", 20)])])
    remove = n(design_size=[0, 36], border_min=[MARGIN, MARGIN], border_max=[MARGIN, MARGIN],
               children=[button("remove", "RemoveButton", look="outline", where="card")])
    return vpage("Deadline", bar, [date, remove])


def list_form(root_id, title_key, right=(), top=(), bottom=(), centred=True):
    # A long title (a project's name) needs the room a centred caption leaves empty.
    if centred:
        bar = captioned_bar(bar_title("title", title_key), right)
    else:
        bar = title_bar([bar_back("back", "Back")], bar_title("title", title_key), list(right))
    return vpage(root_id, bar, list(top) + [
        n("vlist", id="list", table_ratio=1, scroll_border_min=[0, 6],
          scroll_border_max=[0, 10])] + list(bottom))


def list_row(value, extra=(), height=ROW_H):
    value.update({"border_min": [MARGIN, 0], "border_max": [MARGIN, 0]})
    return {"design_size": [0, height], "children": [
        color(A.ACCENT, id="#vlist_selected", anchor_x="MIN_SIDE", design_size=[3, 0]),
        value] + list(extra)}


def color_element():
    dots = [image("dot%d" % i, id=str(i), stretch=False, anchor_x="MIN_SIDE",
                  border_min=[MARGIN + 12, 0]) for i in range(6)]
    return list_row(prop_row("value", left=40, right=50), dots)


def sharing_element(pickable):
    """A user row. Picking (the filter, the responsible user): a check on the left and a
    chevron. Sharing: an icon, and on some rows an add or remove button on the right. The rows
    never have a value line, so the name is centred. The name may run to the right edge: a
    button, where one is shown, covers its end with a white margin, so rows without a button
    (the owner, read-only members) show whole names."""
    def btn(id, key, look):
        cover = [color(A.WHITE, anchor_x="MIN_SIDE_NO_SIZE", design_size=[10, 0],
                       border_min=[-10, 0])]
        b = button(id, key, look=look, where="card", font=F_SMALL_B, height=26,
                   anchor_x="MAX_SIDE", anchor_y="CENTER", design_size=[84, 26],
                   border_max=[MARGIN + 8, 0])
        b["children"] = cover + b["children"]
        return b
    height = 40 if pickable else 44
    value = prop_row("value", left=36, right=30, check="left", icon_places=True, height=height)
    return list_row(value, [btn("add", "AddButton", "primary"),
                            btn("remove", "RemoveUserButton", "outline"),
                            btn("confirm_remove", "ConfirmRemoveButton", "danger")],
                    height=height)


def sharing():
    # The separator belongs to the invitation text, so it hides with it when there is nothing
    # to invite to (picking a user) instead of leaving a bare line over an empty band.
    invite = n("vtable", children=[
        text(id="invite_to", font=F_SMALL, color_=A.TEXT2, grow=1, wrap=1, halign="LEFT",
             border_min=[MARGIN + 2, 8], border_max=[MARGIN, 2], children=[
                 color(A.LINE, anchor_x="BOTH_SIDE_NO_SIZE", anchor_y="MIN_SIDE_NO_SIZE",
                       design_size=[0, 1], border_min=[-MARGIN - 2, -8],
                       border_max=[-MARGIN, 0])]),
        n("htable", design_size=[0, 34], border_min=[0, 2], border_max=[0, 8], children=[
            n("edit", id="email", table_ratio=1, font=F_BODY, color=col(A.TEXT), ellipsis=1,
              background_color=col(A.WHITE), halign="LEFT", border_min=[MARGIN + 8, 0],
              border_max=[14, 0], children=[
                  image("field_page", anchor_x="BOTH_SIDE_NO_SIZE", border_min=[-8, 0],
                        border_max=[-8, 0])]),
            button("plus", "InviteButton", design_size=[104, 34], border_max=[MARGIN, 0])])])
    right = n(design_size=[40, BAR_H], children=[spinner(variant="spin_bar")])
    return list_form("Sharing", "TitleUsersSelect", right=[right], bottom=[invite], centred=False)


def tag_form():
    edit_row = n(design_size=[0, 34], border_min=[0, MARGIN], children=[
        n("edit", id="edit", font=F_BODY, color=col(A.TEXT), background_color=col(A.WHITE),
          halign="LEFT", ellipsis=1, border_min=[MARGIN + 10, 0], border_max=[MARGIN + 10, 0],
          children=[
              image("field_page", anchor_x="BOTH_SIDE_NO_SIZE", border_min=[-10, 0],
                    border_max=[-10, 0])])])
    return list_form("Tag", "TagLabel", right=[bar_icon("save", "save")], top=[edit_row])


def menu():
    panel = n(id="panel", anchor_y="MAX_SIDE", visibility_animation="bottom", children=[
        image("sheet", alpha=128),
        n("vtable", children=[
            n(design_size=[0, 40], children=[
                text(id="caption", font=F_BODY_B, color_=A.TEXT2, ellipsis=1, halign="LEFT",
                     border_min=[20, 4], border_max=[20, 0]),
                divider(0)]),
            n("vlist", id="vlist", grow=1, scroll_border_max=[0, 8])])])
    return {"id": "Menu", "children": [n(border_min=[0, 24], children=[panel])]}


def menu_element(disabled=False):
    c = A.HINT if disabled else A.TEXT
    states_ = (list_states(pressed=A.WHITE, selected=A.WHITE) if disabled else list_states())
    return {"design_size": [0, 40], "children": states_ + [
        text(id="#text", font=F_BODY, color_=c, ellipsis=1, halign="LEFT", border_min=[20, 0],
             border_max=[40, 0]),
        color(A.LINE, id="separator", anchor_y="MAX_SIDE", design_size=[0, 1],
              border_min=[20, 0], border_max=[20, 0]),
        image("check_menu", id="checked", stretch=False, anchor_x="MAX_SIDE",
              border_max=[18, 0])]}


def about():
    bar = captioned_bar(caption_text("About"), [])
    return vpage("About", bar, [n(id="about_panel", table_ratio=1, children=[
        n("vlist", id="list")])])


def about_top():
    link = lambda id, key: n("button", id=id, design_size=[0, 36], children=states(
        [image("second_n_page")], [image("second_p_page")], [image("second_d_page")]) + [
        text(key, id="#text", font=F_BODY_B, color_=A.ACCENT, ellipsis=1)],
        border_min=[MARGIN + 20, 4], border_max=[MARGIN + 20, 4])
    return {"children": [n("vtable", border_min=[0, 16], border_max=[0, 16], children=[
        image("logo", stretch=False, design_size=[40, 40]),
        text("AppName", id="app", font=F_APP, grow=1, border_min=[MARGIN, 8],
             border_max=[MARGIN, 0]),
        text("AboutVersion", id="version", font=F_BODY, color_=A.TEXT2, grow=1,
             border_min=[MARGIN, 2], border_max=[MARGIN, 0]),
        text("AboutPortal", id="portal", font=F_SMALL, color_=A.TEXT2, grow=1, wrap=1,
             border_min=[MARGIN + 10, 12], border_max=[MARGIN + 10, 10]),
        link("btn_portal", "AboutPortalButton"),
        link("ulmar", "AboutMaker")])]}


def problem():
    # "pending" says how many changes wait; the program fills it and hides it when none do.
    pending = text(id="pending", font=F_BODY, color_=A.TEXT, grow=1, wrap=1, halign="LEFT",
                   border_min=[16, 0], border_max=[16, 4])
    return message_card("ProblemCaption", "ProblemText",
                        [("logout", "Logout", "second"), ("retry", "RetryButton", "primary")],
                        extra=[pending, n(design_size=[0, 24], children=[spinner()])])


def skin_reload():
    card = n(anchor_x="CENTER", anchor_y="CENTER", design_size=[200, 64], children=[
        image("card", alpha=128),
        n("htable", border_min=[16, 0], border_max=[16, 0], children=[
            n(design_size=[28, 0], children=[spinner()]),
            text("ApplyingLanguage", font=F_BODY, table_ratio=1, wrap=1, halign="LEFT",
                 border_min=[8, 0])])])
    return {"id": "SkinReload", "children": [card]}


def nodes():
    out = {}
    out["Login"] = login()
    out["Register"] = message_card("RegisterCaption", "RegisterText",
                                   [("btnCancel", "Cancel", "second"),
                                    ("btnOk", "RegButton", "primary")])
    out["Connecting"] = message_card("ConnectingCaption", "ConnectingText",
                                     [("btnCancel", "Cancel", "second")],
                                     extra=[n(design_size=[0, 28], children=[spinner()])])
    out["FormMessage"] = message_card("ErrorCaption", "", [("btnOk", "OK", "primary")])
    out["Version"] = message_card("VersionCaption", "VersionText",
                                  [("btnCancel", "LaterButton", "second"),
                                   ("btnOk", "UpdateButton", "primary")])
    out["Ticket"] = message_card("TicketCaption", "", [("btnOk", "OK", "primary")])
    out["Problem"] = problem()
    out["Tree"] = tree()
    out["TreeElement"] = tree_element()
    out["TreeTagElement"] = tree_tag_element()
    out["TreeSeparatorElement"] = section_header()
    out["TreeAllElement"] = tree_all_element()
    out["TreeMoreElement"] = more_row()
    out["ListMoreElement"] = more_row("MoreList")
    out["VizFolderIcons"] = {"src": {"picture": "d_icons"}}
    out["Task"] = task()
    out["TaskPropertiesElement"] = task_properties()
    out["TaskChatElement"] = task_chat()
    out["TaskMoreElement"] = more_row("MoreChat")
    out["Title"] = editor("Title", "EditTitleCaption", 1)
    out["Comment"] = editor("Comment", "EditCommentCaption", 1)
    out["Progress"] = progress()
    out["Deadline"] = deadline()
    out["SpinnerElementDate"] = {"children": [text(id="#text", font=F_BODY_B)]}
    out["Colors"] = list_form("Colors", "StatusLabel")
    out["ColorSeparator"] = section_header()
    out["ColorElement"] = color_element()
    out["Tag"] = tag_form()
    out["ComboSeparator"] = section_header()
    out["ComboElement"] = list_row(prop_row("value"))
    out["FormMessageOkCancel"] = message_card("RemoveTaskCaption", "",
                                              [("btnCancel", "Cancel", "second"),
                                               ("btnOk", "DeleteButton", "danger")])
    out["Sharing"] = sharing()
    out["SharingElementPress"] = sharing_element(True)
    out["SharingElementNoPress"] = sharing_element(False)
    out["Menu"] = menu()
    out["MenuElement"] = menu_element()
    out["MenuElementDisabled"] = menu_element(disabled=True)
    out["About"] = about()
    out["AboutElementTop"] = about_top()
    out["SkinReload"] = skin_reload()
    for name, node in out.items():
        node.setdefault("id", name)
    return out


def main():
    art_dir = os.path.join(SKIN_DIR, "art")
    CELLS.update(A.draw_all(art_dir))
    skin = {
        "comment": "The main skin. Generated by tools/art/default_skin.py with its art; edit the "
                   "script, not this file. Designed for a 240-pixel-wide portrait screen at "
                   "base density.",
        "art": {"d_wash": "art/d_wash.bmp"},
        "nodes": nodes(),
    }
    with open(os.path.join(SKIN_DIR, "skin.json"), "w", encoding="utf-8") as out:
        json.dump(skin, out, indent=1, ensure_ascii=False)
        out.write("\n")


if __name__ == "__main__":
    main()
