// Template 101 as a GtkBuilder definition. Positions come from the template's dialog
// units: below the picture 1.62 px per unit across and 1.6 down, with the picture at
// its own 280 x 177 and everything under it moved down to make room.
#include "platform/form/settings_form.h"

namespace platform {

const char* const settingsFormDefinition = R"UI(<?xml version="1.0" encoding="UTF-8"?>
<interface>
  <requires lib="gtk+" version="3.20"/>
  <object class="GtkWindow" id="form">
    <property name="name">settings-form</property>
    <property name="title"></property>
    <property name="decorated">False</property>
    <property name="resizable">False</property>
    <property name="modal">True</property>
    <property name="window_position">center-always</property>
    <property name="type_hint">dialog</property>
    <child>
      <object class="GtkFrame" id="border">
        <property name="visible">True</property>
        <property name="shadow_type">out</property>
        <child>
          <object class="GtkFixed" id="controls">
            <property name="visible">True</property>
            <property name="width_request">301</property>
            <property name="height_request">385</property>
            <child>
              <object class="GtkButton" id="ok">
                <property name="label">OK</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="can_default">True</property>
                <property name="has_default">True</property>
                <property name="receives_default">True</property>
                <property name="width_request">81</property>
                <property name="height_request">22</property>
              </object>
              <packing><property name="x">207</property><property name="y">351</property></packing>
            </child>
            <child>
              <object class="GtkLabel" id="caption">
                <property name="label">Demo configuration</property>
                <property name="visible">True</property>
                <property name="xalign">0</property>
                <property name="width_request">110</property>
                <property name="height_request">18</property>
              </object>
              <packing><property name="x">8</property><property name="y">206</property></packing>
            </child>
            <child>
              <object class="GtkCheckButton" id="fullscreen">
                <property name="label">Fullscreen</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="width_request">89</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">18</property><property name="y">294</property></packing>
            </child>
            <child>
              <object class="GtkRadioButton" id="size640">
                <property name="label">640x480</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="width_request">70</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">18</property><property name="y">225</property></packing>
            </child>
            <child>
              <object class="GtkRadioButton" id="size800">
                <property name="label">800x600</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="group">size640</property>
                <property name="width_request">70</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">18</property><property name="y">241</property></packing>
            </child>
            <child>
              <object class="GtkRadioButton" id="size1024">
                <property name="label">1024x768</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="group">size640</property>
                <property name="width_request">76</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">18</property><property name="y">257</property></packing>
            </child>
            <child>
              <object class="GtkRadioButton" id="depth16">
                <property name="label">16 bpp</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="width_request">62</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">136</property><property name="y">223</property></packing>
            </child>
            <child>
              <object class="GtkRadioButton" id="depth32">
                <property name="label">32 bpp</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="group">depth16</property>
                <property name="width_request">62</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">136</property><property name="y">243</property></packing>
            </child>
            <child>
              <object class="GtkImage" id="picture">
                <property name="visible">True</property>
                <property name="width_request">280</property>
                <property name="height_request">177</property>
              </object>
              <packing><property name="x">10</property><property name="y">8</property></packing>
            </child>
            <child>
              <object class="GtkCheckButton" id="music">
                <property name="label">Music</property>
                <property name="visible">True</property>
                <property name="can_focus">True</property>
                <property name="draw_indicator">True</property>
                <property name="width_request">57</property>
                <property name="height_request">16</property>
              </object>
              <packing><property name="x">18</property><property name="y">313</property></packing>
            </child>
          </object>
        </child>
      </object>
    </child>
  </object>
</interface>
)UI";

}  // namespace platform
