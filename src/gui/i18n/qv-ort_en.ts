<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>MainFrame</name>
    <message>
        <source>ツールバー</source>
        <translation>Toolbar</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>ファイルを開く(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>保存(&amp;S)...	Ctrl+S</source>
        <translation>&amp;Save...	Ctrl+S</translation>
    </message>
    <message>
        <source>印刷(&amp;P)...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>アプリケーションの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>先頭へ(&amp;S)</source>
        <translation>&amp;First</translation>
    </message>
    <message>
        <source>最後へ(&amp;B)</source>
        <translation>&amp;Last</translation>
    </message>
    <message>
        <source>検索(&amp;F)...	Ctrl+F</source>
        <translation>&amp;Find...	Ctrl+F</translation>
    </message>
    <message>
        <source>フレームJUMP(&amp;R)...</source>
        <translation>Jump to f&amp;rame...</translation>
    </message>
    <message>
        <source>トリガJUMP(&amp;T)...</source>
        <translation>Jump to &amp;trigger...</translation>
    </message>
    <message>
        <source>マーク1</source>
        <translation>Mark 1</translation>
    </message>
    <message>
        <source>マーク2</source>
        <translation>Mark 2</translation>
    </message>
    <message>
        <source>マーク3</source>
        <translation>Mark 3</translation>
    </message>
    <message>
        <source>マーク4</source>
        <translation>Mark 4</translation>
    </message>
    <message>
        <source>マーク5</source>
        <translation>Mark 5</translation>
    </message>
    <message>
        <source>プロパティ(&amp;P)...</source>
        <translation>&amp;Properties...</translation>
    </message>
    <message>
        <source>表示設定(&amp;D)...</source>
        <translation>&amp;Display settings...</translation>
    </message>
    <message>
        <source>DUAL(&amp;D)	F2</source>
        <translation>&amp;DUAL	F2</translation>
    </message>
    <message>
        <source>SD(&amp;S)	F3</source>
        <translation>&amp;SD	F3</translation>
    </message>
    <message>
        <source>RD(&amp;R)	F4</source>
        <translation>&amp;RD	F4</translation>
    </message>
    <message>
        <source>HEX(&amp;H)	Ctrl+F1</source>
        <translation>&amp;HEX	Ctrl+F1</translation>
    </message>
    <message>
        <source>ASCII(&amp;A)	Ctrl+F2</source>
        <translation>&amp;ASCII	Ctrl+F2</translation>
    </message>
    <message>
        <source>JIS7(&amp;J)	Ctrl+F3</source>
        <translation>&amp;JIS7	Ctrl+F3</translation>
    </message>
    <message>
        <source>JIS8(&amp;K)	Ctrl+F4</source>
        <translation>JIS&amp;8	Ctrl+F4</translation>
    </message>
    <message>
        <source>EBCDIC(&amp;E)	Ctrl+F5</source>
        <translation>&amp;EBCDIC	Ctrl+F5</translation>
    </message>
    <message>
        <source>シフトJIS(&amp;I)	Ctrl+F6</source>
        <translation>Sh&amp;ift JIS	Ctrl+F6</translation>
    </message>
    <message>
        <source>SD(&amp;S)...</source>
        <translation>&amp;SD...</translation>
    </message>
    <message>
        <source>RD(&amp;R)...</source>
        <translation>&amp;RD...</translation>
    </message>
    <message>
        <source>制御線(&amp;C)...</source>
        <translation>&amp;Control lines...</translation>
    </message>
    <message>
        <source>その他(&amp;O)...</source>
        <translation>&amp;Other...</translation>
    </message>
    <message>
        <source>奇数行(&amp;O)...</source>
        <translation>&amp;Odd lines...</translation>
    </message>
    <message>
        <source>偶数行(&amp;E)...</source>
        <translation>&amp;Even lines...</translation>
    </message>
    <message>
        <source>境界(&amp;S)...</source>
        <translation>&amp;Separators...</translation>
    </message>
    <message>
        <source>モニタ機器選択(&amp;U)...</source>
        <translation>Select &amp;unit...</translation>
    </message>
    <message>
        <source>モニタパラメータ設定(&amp;H)...</source>
        <translation>Monitor parameters...</translation>
    </message>
    <message>
        <source>モニタスタート(&amp;S)</source>
        <translation>&amp;Start monitoring</translation>
    </message>
    <message>
        <source>モニタポーズ(&amp;P)</source>
        <translation>&amp;Pause monitoring</translation>
    </message>
    <message>
        <source>モニタストップ(&amp;E)</source>
        <translation>Stop monitoring</translation>
    </message>
    <message>
        <source>本体内モニタデータ取得(&amp;C)</source>
        <translation>Retrieve &amp;card captures</translation>
    </message>
    <message>
        <source>本体状態取得(&amp;R)...</source>
        <translation>Unit info&amp;rmation...</translation>
    </message>
    <message>
        <source>本体時刻設定(&amp;T)...</source>
        <translation>Unit clock...</translation>
    </message>
    <message>
        <source>同期連動(&amp;K)	Ctrl+K</source>
        <translation>Follow &amp;together	Ctrl+K</translation>
    </message>
    <message>
        <source>ダンプウィンドウ(&amp;D)</source>
        <translation>&amp;Dump window</translation>
    </message>
    <message>
        <source>ラインウィンドウ(&amp;L)</source>
        <translation>&amp;Line window</translation>
    </message>
    <message>
        <source>拡大(&amp;I)	Shift+I</source>
        <translation>Zoom &amp;in	Shift+I</translation>
    </message>
    <message>
        <source>縮小(&amp;O)	Shift+O</source>
        <translation>Zoom &amp;out	Shift+O</translation>
    </message>
    <message>
        <source>重ねて表示(&amp;C)</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>並べて表示(&amp;T)</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>目次(&amp;O)</source>
        <translation>C&amp;ontents</translation>
    </message>
    <message>
        <source>バージョン情報 QV-ORT(&amp;A)...</source>
        <translation>&amp;About QV-ORT...</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>マークJUMP(&amp;J)</source>
        <translation>&amp;Jump to mark</translation>
    </message>
    <message>
        <source>マーク設定(&amp;M)</source>
        <translation>Set &amp;mark</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>モニタウィンドウの色(&amp;M)</source>
        <translation>&amp;Monitor window colours</translation>
    </message>
    <message>
        <source>ダンプウィンドウの色(&amp;U)</source>
        <translation>D&amp;ump window colours</translation>
    </message>
    <message>
        <source>モニタ(&amp;M)</source>
        <translation>&amp;Monitor</translation>
    </message>
    <message>
        <source>本体(&amp;U)</source>
        <translation>&amp;Unit</translation>
    </message>
    <message>
        <source>ウィンドウ(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>選択中の機器</source>
        <translation>Selected unit</translation>
    </message>
    <message>
        <source>   選択中の機器   </source>
        <translation>   Selected unit   </translation>
    </message>
    <message>
        <source>フレーム時刻</source>
        <translation>Frame time</translation>
    </message>
    <message>
        <source>   フレーム時刻   </source>
        <translation>   Frame time   </translation>
    </message>
    <message>
        <source>エラー情報</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>   エラー情報   </source>
        <translation>   Errors   </translation>
    </message>
    <message>
        <source>SD回線速度</source>
        <translation>SD line speed</translation>
    </message>
    <message>
        <source>   SD回線速度   </source>
        <translation>   SD line speed   </translation>
    </message>
    <message>
        <source>RD回線速度</source>
        <translation>RD line speed</translation>
    </message>
    <message>
        <source>   RD回線速度   </source>
        <translation>   RD line speed   </translation>
    </message>
    <message>
        <source>モニタ条件</source>
        <translation>Monitor conditions</translation>
    </message>
    <message>
        <source>   データ長／パリティ   </source>
        <translation>   Data bits / parity   </translation>
    </message>
    <message>
        <source>モニタ方向</source>
        <translation>Monitor direction</translation>
    </message>
    <message>
        <source>   ライン種別   </source>
        <translation>   Line type   </translation>
    </message>
</context>
<context>
    <name>qv::UnitSelectDialog</name>
    <message>
        <source>モニタ機器選択</source>
        <translation>Select unit</translation>
    </message>
    <message>
        <source>型番</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>シリアル番号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Attached</translation>
    </message>
    <message>
        <source>選択</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>現在接続されている機器のみ表示</source>
        <translation>Show only the units attached now</translation>
    </message>
    <message>
        <source>履歴を含めた全ての機器を表示</source>
        <translation>Show every unit ever seen</translation>
    </message>
    <message>
        <source>決定</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>編集</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>再読込み</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>解除</source>
        <translation>Release</translation>
    </message>
</context>
</TS>
