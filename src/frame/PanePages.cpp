#include "frame/PanePages.h"

namespace PanePages {

QString head()
{
    return QStringLiteral(
        "<head><META HTTP-EQUIV=MSThemeCompatible CONTENT=Yes>"
        "<style>A{white-space:nowrap;color:blue}body{background-color:#ffffee;font-size:10pt;"
        "margin:0}td{padding:0;text-align:center;font-family:Verdana;font-size:10pt;"
        "cursor:hand;background-color:#99ffcc;padding-left:1ex;padding-right:1ex}\r\n"
        ".W{background-color:#ffffee;font-family:'Verdana';white-space:nowrap; cursor:hand}"
        "#m4,#m5,#FavEdit{font-family:Wingdings}#FavDelete{font-family:Webdings}"
        "input{font-family: Verdana}div#Headings{background-color:white}div#LB,.sblinks{"
        "background-color:#ffffcf;color:blue;font-weight:400}.sep{background-color:black;"
        "width:1ex;padding:0;cursor:auto}"
        ".ff{background-color:yellow;color:purple;font-weight:bold}"
        ".H,.dNote,.qf{color:blue;cursor:hand;white-space:nowrap}"
        ".Fav{display:none}#selHistory,#prevwin{font-family:Times New Roman, Arial Black}"
        "</style>");
}

QString topBarPage()
{
    // Symbols: m4 a clock (scheduled), m5 stacked folders, FavEdit a pencil, FavDelete a
    // cross, Notes a writing hand.
    return head() +
           QStringLiteral(
               "</head><body style=margin:0 px>"
               "<table border=1 cellspacing=1 id=SearchMenu><tr><td style=padding:0px><input "
               "type=text name=searchterms id=SearchTerms tabindex=0 SIZE=25 value='") +
           QLatin1String(kPlaceholder) +
           QStringLiteral(
               "'></td>"
               "<td id=s0 class=se title='Google Search'>G</td><td id=s1 class=sa "
               "title='Answers Search'>A</td><td id=sh title='Underscore or Highlight "
               "Text'>_</td><td id=s3 class=se title='Display all Favorites that have the "
               "characters that you type in the textbox in the link, title, or "
               "keywords.'>F</td><td id=s4 class=se title='Display all History entries that "
               "have the characters that you type in the textbox in the link, title, keywords, "
               "or description.'>H</td>"
               "<td id=sD class=se title='Dictionary'>D</td><td id=sT class=se "
               "title='Thesaurus'>T</td><td id=sM class=se title='Wikipedia "
               "Encyclopedia'>E</td><td id=sC class=se title='Columbia Encyclopedia'>C</td><td "
               "class=sep></td>"
               "<td id=m1 title='Check Links in Favorites'>&radic;</td>"
               "<td class=sep></td><td id=fc class=ff title='Clear form data. (Ctrl+0)'>0</td><td "
               "id=fs class=ff title='Save form data. (Ctrl+-)'>-</td><td id=ff class=ff "
               "title='Fill form. (Ctrl+=)'>=</td>"
               "<td class=sep></td><td id=mode style=background-color:white;color:red>T</td><td "
               "id=Fav_ class=sep></td><td id=FavEdit class=Fav title='Edit this "
               "Favorite'>&#x270F;</td><td id=FavDelete class=Fav title='Delete this Favorite "
               "and move to the next document.'>&#x2716;</td></tr></table>"
               "<table border=1 cellspacing=1 align=right><tr><td id=m4 class=sblinks "
               "title='Show Scheduled Links in Sidebar'>&#x25F7;</td><td id=m2 class=sblinks "
               "title='Show Quick Links in Sidebar'>&infin;</td><td id=m5 class=sblinks "
               "title='Show Quick Folders in Sidebar'>&#x2750;</td><td id=m6 class=sblinks "
               "title='Show RSS Feeds in Sidebar'>X</td>"
               "<td id=m8 class=sblinks title='Show Groups'>G</td><td id=m7 class=sblinks "
               "title='Page Info'>P</td><td id=m3 class=sblinks title='Show Open Windows in "
               "Sidebar'>W</td><td id=m0 class=sbt title='Display All Headings of Current "
               "Document in Sidebar'>&sect;</td><td id=Notes class=sbt title='Notes' "
               "style=font-family:Webdings;font-size:small>&#x270D;</td><td id=prevwin "
               "title='Go back to previous window.'>&#9668;</td>"
               "<td style=padding:0><input id=AddrBox></td><td id=selHistory title='Show "
               "Current Session History'>&#9660;</td></select></td></tr></table>");
}

QString sidebarPage()
{
    // Notes row symbols: a calendar grid (date), a return arrow (new line), a plus (new
    // note), a framed square (full screen), a cross (delete), a stacked page (copy), a
    // triangle (note links shown).
    return head() +
           QStringLiteral(
               "<style>.notetab,{font-family:Webdings}#ntitle,#nurl{font-family:Tahoma}#ndate,"
               "#nreturn,#nprint{font-size:small}#nreturn{font-family:Wingdings;font-size:small}"
               "#qul{font-size:xx-small;white-space:nowrap}</style></head>"
               "<body><div id=Notes style=background-color:#ffeeee;display:none><textarea "
               "id=idNote ROWS=20 style=width:100%></textarea>"
               "<table width=100%><tr><td class=notetab id=ndate title='Append "
               "Date'>&#x25A6;</td><td class=notetab id=ntitle title='Append Title'>T</td><td "
               "class=notetab id=nurl title='Append URL'>U</td><td class=notetab id=nreturn "
               "title='Append New Line'>&#x21B5;</td>"
               "<td class=notetab id=nnew title='New Note. Save Current Note, or right-click "
               "this button to append to current research file.'>&#x271A;</td><td "
               "class=notetab id=nprint title='Full Screen mode for editing, page setup, print "
               "preview, and printing note.'>&#x25A3;</td><td class=notetab id=ndel "
               "title='Delete Note'>&#x2716;</td>"
               "<td class=notetab id=ncopy title='Copy Note to Clipboard.'>&#x274F;</td><td "
               "class=notetab id=nlinks title='Hide Note Links'>&#x25B2;</td></tr></table><div "
               "id=NoteLinks></div><hr></div>"
               "<div id=menu style=display:none></div><div id=Headings "
               "style=display:none></div><div id=LB style=display:none></div>"
               "<div id=LC style=display:none></div>"
               "<div id=MW style=background-color:#ffffee></div><div id=qul title='Queued links "
               "not yet loaded. Loading will continue as documents are downloaded or read.' "
               "style=background-color:#fffffe></div>");
}

} // namespace PanePages
